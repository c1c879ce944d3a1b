# Settings of the Windows build that concern the executables as a whole.

if(MINGW AND TARGET vort64)
  # The entry point is the wide wmain.
  target_link_options(vort64 PRIVATE -municode)
endif()

# Vort64.exe against the WMI service of the machine it runs on. Under Wine
# (the cross build's tests) that service publishes no firmware version
# structure, so the program must stop cleanly at the version gate.
if(VORT64_TESTS AND NOT VORT64_SIMULATED AND CMAKE_CROSSCOMPILING AND TARGET vort64)
  add_test(NAME vort64_under_wine_wmi
           COMMAND ${PROJECT_SOURCE_DIR}/tools/expect-output 104
                   "Not support this BIOS WMI version \n"
                   ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:vort64> /get "boot mode")
  set_tests_properties(vort64_under_wine_wmi PROPERTIES TIMEOUT 300)
endif()

# Vort64.exe is copied to the notebook alone: it may import Windows' own
# DLLs only (the C++ runtime is linked in statically).
if(VORT64_TESTS AND CMAKE_CROSSCOMPILING AND TARGET vort64)
  add_test(NAME vort64_exe_is_self_contained
           COMMAND ${PROJECT_SOURCE_DIR}/tools/check-windows-imports $<TARGET_FILE:vort64>)
  if(CMAKE_OBJDUMP)
    set_tests_properties(vort64_exe_is_self_contained PROPERTIES ENVIRONMENT "OBJDUMP=${CMAKE_OBJDUMP}")
  endif()
endif()
