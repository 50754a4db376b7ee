# kickstand-analyze's pictures checked with an XML parser, librsvg and
# Graphviz after a real boot of 500 plugins.
add_dependencies(test_analysis kickstand-analyze)
add_test(NAME AnalyzeOutputsRenderAndParse
  COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/check_outputs.py
          --kickstand $<TARGET_FILE:kickstand> --analyze $<TARGET_FILE:kickstand-analyze>)
set_tests_properties(AnalyzeOutputsRenderAndParse PROPERTIES LABELS analysis TIMEOUT 300)
