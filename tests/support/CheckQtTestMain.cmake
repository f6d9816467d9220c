# Fails when a QtTest program starts with Qt's own main macros, which bypass the handler of
# QtWarningGuard.h.
file(GLOB_RECURSE sources "${TESTS_DIR}/*.cpp")
set(bare "")
foreach(source IN LISTS sources)
  file(STRINGS "${source}" lines REGEX "^[ \t]*QTEST_(MAIN|GUILESS_MAIN|APPLESS_MAIN)[ \t]*\\(")
  if(lines)
    list(APPEND bare "${source}")
  endif()
endforeach()
if(bare)
  list(JOIN bare "\n  " text)
  message(FATAL_ERROR "Use TARVELL_QTEST_MAIN (support/QtWarningGuard.h) in:\n  ${text}")
endif()
