"""One random layered DAG of jobs, written three ways: as kickstand debug
plugins, as a Makefile and as a build.ninja, with the same commands and the
same dependencies, so that the three runners schedule the very same work."""

import heapq
import os
import random
from dataclasses import dataclass, field


@dataclass
class Job:
    name: str
    seconds: float            # what the command itself waits; 0 for `true`
    command: str
    deps: list = field(default_factory=list)   # names of jobs of the layer before


def generate(count, layers, seed, sleep_ms=None, slow=None):
    """count jobs in layers of equal width; each job depends on one to three
    jobs of the layer before. With sleep_ms=(low, high) every command sleeps
    a duration drawn from that range; without it every command is `true`.
    With slow=(every, ms), every every-th job sleeps ms instead and no job
    depends on it: a few slow plugins among many quick ones."""
    rng = random.Random(seed)
    width = count // layers
    jobs, slow_names = [], set()
    for i in range(count):
        layer = min(i // width, layers - 1)
        if sleep_ms:
            seconds = round(rng.uniform(*sleep_ms)) / 1000
            if slow and i % slow[0] == slow[0] - 1:
                seconds = slow[1] / 1000
                slow_names.add(f"p{i:04d}")
            command = f"sleep {seconds:.3f}"
        else:
            seconds, command = 0.0, "true"
        job = Job(f"p{i:04d}", seconds, command)
        if layer > 0:
            above = [j for j in jobs[(layer - 1) * width:layer * width] if j.name not in slow_names]
            job.deps = sorted(j.name for j in rng.sample(above, rng.randint(1, min(3, len(above)))))
        jobs.append(job)
    return jobs


def barrier(name):
    return "b" + name[1:]


def write_debug_conf(jobs, path):
    """name:requires:provides:command; an empty requires field is one blank,
    because an empty field would be dropped."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as out:
        for job in jobs:
            requires = ",".join(barrier(d) for d in job.deps) or " "
            out.write(f"{job.name}:{requires}:{barrier(job.name)}:{job.command}\n")


def write_makefile(jobs, path):
    names = " ".join(j.name for j in jobs)
    with open(path, "w") as out:
        # make runs a recipe without metacharacters by exec, skipping the
        # shell that kickstand's system() and ninja always pay for; naming
        # its shell by another path than its built-in one turns that off.
        if os.path.exists("/usr/bin/sh"):
            out.write("SHELL := /usr/bin/sh\n")
        out.write(f".PHONY: all {names}\nall: {names}\n")
        for job in jobs:
            out.write(f"{job.name}: {' '.join(job.deps)}\n\t{job.command}\n")


def write_ninja(jobs, path):
    with open(path, "w") as out:
        out.write("rule job\n  command = $cmd\n")
        for job in jobs:
            implicit = " | " + " ".join(job.deps) if job.deps else ""
            out.write(f"build {job.name}: job{implicit}\n  cmd = {job.command}\n")
        out.write(f"build all: phony {' '.join(j.name for j in jobs)}\ndefault all\n")


def lower_bound(jobs, job_overhead, workers):
    """max(critical path, total work / workers), each job charged its own
    duration plus job_overhead (one shell starting and running it)."""
    finish = {}
    for job in jobs:   # jobs come in layer order, so deps are done first
        start = max((finish[d] for d in job.deps), default=0.0)
        finish[job.name] = start + job.seconds + job_overhead
    critical = max(finish.values())
    work = sum(j.seconds + job_overhead for j in jobs)
    return max(critical, work / workers), critical, work


def heights(jobs, job_overhead=None):
    """Longest chain that still hangs on each job, itself included: counted
    in jobs (kickstand's rule), or with job_overhead given, in seconds."""
    cost = {j.name: 1 if job_overhead is None else j.seconds + job_overhead for j in jobs}
    below = dict(cost)
    for job in reversed(jobs):
        for dep in job.deps:
            below[dep] = max(below[dep], below[job.name] + cost[dep])
    return below


def list_schedule(jobs, job_overhead, workers, in_time=False):
    """Makespan of the longest-chain-first list schedule with exact costs and
    no scheduling overhead. By default the chain is counted in jobs, earliest
    queued among equals: kickstand's own choice, so this is what its rule
    itself allows. in_time counts the chain in seconds instead: what a
    duration-aware choice would reach on the same DAG."""
    height = heights(jobs, job_overhead if in_time else None)
    waiting = {j.name: len(j.deps) for j in jobs}
    dependants = {j.name: [] for j in jobs}
    for job in jobs:
        for dep in job.deps:
            dependants[dep].append(job)
    order = {j.name: i for i, j in enumerate(jobs)}
    ready = [(-height[j.name], order[j.name], j) for j in jobs if not j.deps]
    heapq.heapify(ready)
    running, now, idle = [], 0.0, workers
    while ready or running:
        while ready and idle:
            _, _, job = heapq.heappop(ready)
            heapq.heappush(running, (now + job.seconds + job_overhead, order[job.name], job))
            idle -= 1
        now, _, done = heapq.heappop(running)
        idle += 1
        for job in dependants[done.name]:
            waiting[job.name] -= 1
            if waiting[job.name] == 0:
                heapq.heappush(ready, (-height[job.name], order[job.name], job))
    return now
