# Run by CTest after test discovery: the loopback-server tests carry the "http" label as well.
foreach(test IN LISTS SitesHttpTests)
  set_tests_properties("${test}" PROPERTIES LABELS "sites;http")
endforeach()
