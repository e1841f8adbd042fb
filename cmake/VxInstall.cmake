# Install rules shared by the program and the tools.
#
# vx_install_program(<target>) installs the executable into lib/vellumdex, where the files it
# reads at run time lie beside it (the dictionary, the help folders), and makes it reachable
# from bin through a relative link. The program finds its files through the path of its own
# executable, which the kernel gives with the link resolved, so it reads them from
# lib/vellumdex whether started as bin/vxdown or lib/vellumdex/vxdown.
function(vx_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${VX_INSTALL_PKGLIBDIR})
  file(RELATIVE_PATH link_target ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${VX_INSTALL_PKGLIBDIR}/${target})
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(CREATE_LINK \"${link_target}\" \"\${bin}/${target}\" SYMBOLIC)
    message(STATUS \"Installing: \${bin}/${target} -> ${link_target}\")")
endfunction()
