#include "plugins/InteractivePrompt.h"

#include <cctype>
#include <cstdio>
#include <ostream>

#include "core/RunOptions.h"
#include "platform/Log.h"
#include "plugins/Console.h"

namespace kickstand {
namespace {

const int kRed = 1, kGreen = 2, kYellow = 3, kMagenta = 5, kCyan = 6, kWhite = 7, kReset = 8;

struct Choice {
  char key;
  const char* text;
  int colour;
};

const Choice kChoices[] = {{'c', "(c)ontinue", kMagenta},
                           {'e', "(e)xecute", kGreen},
                           {'t', "(t)roubleshoot", kYellow},
                           {'s', "(s)kip", kRed}};

void SetColor(std::ostream& out, int colour) {
  if (colour < kReset)
    out << "\033[" << 30 + colour << "m";
  else
    out << "\033[0m";
}

bool IsAnswer(int c) {
  return c == 'c' || c == 'e' || c == 't' || c == 's';
}

}  // namespace

InteractivePrompt::Outcome InteractivePrompt::Step(const std::string& name) {
  if (!PassesRequiresGate(name))
    return Proceed;
  console_.SwitchConsole(1);
  WriteQuestion(name);
  return Act(ReadAnswerUnechoed(), name);
}

bool InteractivePrompt::PassesRequiresGate(const std::string& name) {
  std::list<std::string>& waiting = options_.interactiveModeRequires;
  if (waiting.empty())
    return true;
  waiting.remove(name);
  // The questions start with the plugin after the last one waited for.
  if (waiting.empty())
    console_.SwitchConsole(1);
  return false;
}

void InteractivePrompt::WriteQuestion(const std::string& name) {
  std::ostream& out = console_.Output();
  out << "current plugin: ";
  SetColor(out, kCyan);
  out << name << "\n" << std::flush;
  WriteChoices(0);
  out << std::flush << "\033[?25l" << std::flush;
}

char InteractivePrompt::ReadAnswerUnechoed() {
  termios modes;
  bool known = console_.GetModes(modes);
  if (!known) {
    Log_Level(2, "unable to get terminal io state.\n");
  } else {
    modes.c_lflag &= ~(ICANON | ECHO);
    if (!console_.SetModes(modes))
      Log_Level(2, "unable to set terminal io state.\n");
  }
  char answer = ReadAnswer();
  if (known) {
    modes.c_lflag |= ICANON | ECHO;
    if (!console_.SetModes(modes))
      Log_Level(2, "unable to restore terminal io state.\n");
  }
  console_.Output() << "\033[?25h" << std::flush;
  return answer;
}

char InteractivePrompt::ReadAnswer() {
  for (;;) {
    int c = console_.ReadChar();
    // Nobody is left to answer: go on as if told to execute.
    if (c == EOF)
      return 'e';
    c = tolower(c);
    if (IsAnswer(c))
      return static_cast<char>(c);
  }
}

InteractivePrompt::Outcome InteractivePrompt::Act(char answer, const std::string& name) {
  switch (answer) {
    case 's':
      Log_Level(5, "skipping plugin %s (interactive mode request)\n", name.c_str());
      ShowChoices('s');
      return Skip;
    case 't':
      ShowChoices('t');
      console_.RunShell();
      return Proceed;
    case 'c':
      ShowChoices('c');
      options_.interactive = false;
      console_.SwitchConsole(11);
      return Proceed;
    default:
      ShowChoices('e');
      return Proceed;
  }
}

void InteractivePrompt::WriteChoices(char chosen) {
  std::ostream& out = console_.Output();
  for (const Choice& choice : kChoices) {
    if (&choice != kChoices)
      out << '\t';
    SetColor(out, chosen == 0 || chosen == choice.key ? choice.colour : kWhite);
    out << choice.text;
    SetColor(out, kReset);
  }
}

void InteractivePrompt::ShowChoices(char chosen) {
  console_.Output() << '\r';
  WriteChoices(chosen);
  console_.Output() << "\n" << std::flush;
}

}  // namespace kickstand
