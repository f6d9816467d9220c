# Run by CTest after test discovery: the loopback-server tests carry the "http" label as well.
foreach(test IN LISTS HttpTests)
  set_tests_properties("${test}" PROPERTIES LABELS "logic;http")
endforeach()
