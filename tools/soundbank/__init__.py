"""Writers of the sound engine's data files: WAVE-extensible media and sound banks.

Python 3 standard library only. The command lines are tools/media_writer.py and
tools/bank_writer.py; tests import this package for the same work (see those two files for the
description formats). Everything here writes files; nothing reads them back, so that a layout
mistake in a reader cannot be hidden by the same mistake in the writer.
"""
