# Warnings are set per target so that third-party code built alongside is not affected.
function(morvelle_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(MORVELLE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
                                                QT_NO_CAST_FROM_BYTEARRAY QT_NO_KEYWORDS)
endfunction()
