# rx_link_models(<target>): links every model library this build has; the target sees
# RX_HAVE_RX200, RX_HAVE_RX100 and RX_HAVE_RX300 for the ones it got.
function(rx_link_models target)
  foreach(m rx200 rx100 rx300)
    if(TARGET ${m}cal_lib)
      string(TOUPPER ${m} M)
      target_link_libraries(${target} PRIVATE ${m}cal_lib)
      target_compile_definitions(${target} PRIVATE RX_HAVE_${M}=1)
    endif()
  endforeach()
endfunction()
