# Warnings for the project's own targets; third-party headers come in as SYSTEM.
add_library(tornevo_warnings INTERFACE)
if(MSVC)
  target_compile_options(tornevo_warnings INTERFACE /W4 /utf-8)
else()
  target_compile_options(tornevo_warnings INTERFACE -Wall -Wextra -Wpedantic)
endif()
