# The unit tests' Windows build (run under wine64 by scripts/ci-windows.sh). Included by
# tests/CMakeLists.txt with VIALTO_TEST_SOURCES holding every test source. Left out, with the
# reason:
#   cli/                    the command-line tool is built for Linux only
#   ExportTableTest         reads the ELF symbol table (the DLL's table: scripts/check-exports.py)
#   LibraryFrameTest        dlopen of libvialto.so (the DLL's: examples/dll_host.c)
#   ArrowOverlayTest        dlopen of copies of libvialto.so beside override files
#   FaultTest               resident memory read from /proc
#   the remote-source tests servers started with fork/exec (WinINet against nginx:
#                           tests/windows/WinInetNginxTest.cpp, servers started by the CI script)
#   support/Servers.cpp, support/GuardedBuffer.cpp   POSIX; support/win32/ has the guarded buffer
list(FILTER VIALTO_TEST_SOURCES EXCLUDE REGEX
     "/cli/|/frame/ExportTableTest|/frame/LibraryFrameTest|/image/ArrowOverlayTest|/reliability/FaultTest")
list(FILTER VIALTO_TEST_SOURCES EXCLUDE REGEX
     "/(NetSourceTest|NetHostileTest|MissingFrameTest|RemoteSourceTest|SaveToLocalTest|RemoteHostileTest|ExactSearchTest)\\.cpp$")
list(FILTER VIALTO_TEST_SOURCES EXCLUDE REGEX "/support/(Servers|GuardedBuffer)\\.cpp$")
