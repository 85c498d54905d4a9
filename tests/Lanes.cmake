# Read by CTest before it runs the tests: where make test has readied lanes (scripts/wine-lanes), it names their file
# in KELVO_WINE_LANES, and CTest hands each test that runs under Wine a free lane of its Windows from it. Without it,
# every test runs in lane 0.
if(DEFINED ENV{KELVO_WINE_LANES})
  set(CTEST_RESOURCE_SPEC_FILE "$ENV{KELVO_WINE_LANES}")
endif()
