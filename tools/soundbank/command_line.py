"""The frame shared by the writers' command lines: JSON files of one description (an object) or
several (a list), written either to one file (-o) or into a folder (--out-dir), and a message
naming the file and the fault with exit status 1 on a bad description."""

import argparse
import json
import os
import sys


def run(program, summary, argv, write, add_options=lambda parser: None):
    """Parses argv and calls write(description, json_path, args) for every description; args
    holds output, out_dir and the options that add_options adds. Returns the exit status."""
    parser = argparse.ArgumentParser(prog=program, description=summary)
    parser.add_argument("descriptions", nargs="+", metavar="FILE.json")
    parser.add_argument("-o", "--output", help="the file to write (one description only)")
    parser.add_argument("--out-dir", help="the folder to write into, by the descriptions' names")
    add_options(parser)
    args = parser.parse_args(argv)
    if bool(args.output) == bool(args.out_dir):
        parser.error("give either -o FILE or --out-dir DIR")
    for path in args.descriptions:
        try:
            descriptions = load(path)
            if args.output and len(descriptions) != 1:
                raise ValueError("-o needs a file with one description")
            for description in descriptions:
                write(description, path, args)
        except (OSError, ValueError, KeyError, TypeError) as error:
            print("%s: %s: %s" % (program, path, error), file=sys.stderr)
            return 1
    return 0


def load(path):
    """The descriptions of a JSON file: one object, or a list of them."""
    with open(path, "r", encoding="utf-8") as source:
        content = json.load(source)
    return content if isinstance(content, list) else [content]


def write_file(path, data):
    """Writes through a temporary file and a rename, so that a reader never sees half a file."""
    directory = os.path.dirname(os.path.abspath(path))
    os.makedirs(directory, exist_ok=True)
    temporary = "%s.%d.tmp" % (path, os.getpid())
    with open(temporary, "wb") as target:
        target.write(data)
    os.replace(temporary, path)
