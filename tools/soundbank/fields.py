"""Reading one object of a description: typed look-ups with defaults, and a check that every key
was understood, so that a misspelt key is an error instead of a silently missing field."""

from . import ids

# Keys that only document an object; every object may carry them.
DOCUMENTATION_KEYS = ("role", "comment")


class Fields:
    def __init__(self, what, table):
        if not isinstance(table, dict):
            raise ValueError("%s: expected an object, got %r" % (what, table))
        self.what = what
        self.table = table
        self.used = set(DOCUMENTATION_KEYS)

    def __contains__(self, key):
        return key in self.table

    def raw(self, key, default=None):
        self.used.add(key)
        return self.table.get(key, default)

    def id(self, key, default=0):
        value = self.raw(key)
        return default if value is None else self._wrap(key, ids.resolve, value)

    def ids(self, key):
        return [self._wrap(key, ids.resolve, value) for value in self.raw(key, [])]

    def int(self, key, default=0):
        value = self.raw(key)
        if value is None:
            return default
        if isinstance(value, bool):
            return int(value)
        return self._wrap(key, ids.number, value)

    def optional_int(self, key):
        return self.int(key) if key in self.table else None

    def float(self, key, default=0.0):
        value = self.raw(key)
        if value is None:
            return default
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            raise ValueError("%s: %s must be a number, not %r" % (self.what, key, value))
        return float(value)

    def hex(self, key, default=b""):
        value = self.raw(key)
        return default if value is None else self._wrap(key, bytes.fromhex, value)

    def done(self):
        unknown = set(self.table) - self.used
        if unknown:
            raise ValueError("%s: unknown keys %s" % (self.what, ", ".join(sorted(unknown))))

    def _wrap(self, key, convert, value):
        try:
            return convert(value)
        except ValueError as error:
            raise ValueError("%s: %s: %s" % (self.what, key, error)) from None
