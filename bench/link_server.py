"""The meeting server of the tests (tests/integration/ftp_server.py, its log included) listening on the
address given first instead of loopback: over the benchmark's slow link the client reaches it from
another network namespace.

    /usr/bin/python3 bench/link_server.py ADDRESS [ftp_server.py's arguments]
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "integration"))
import ftp_server  # noqa: E402

address = sys.argv.pop(1)
listen = ftp_server.FTPServer
ftp_server.FTPServer = lambda where, handler: listen((address, where[1]), handler)
sys.exit(ftp_server.main())
