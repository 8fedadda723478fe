"""Parses each statement of a file (statements separated by lines of '----') as T-SQL.

Prints one line per statement that fails and exits 1 if any did; exits 3 when sqlglot is
not installed.
"""
import sys

try:
    import sqlglot
    from sqlglot.errors import ParseError
except ImportError:
    sys.exit(3)

text = open(sys.argv[1], encoding="utf-8").read()
failed = 0
for chunk in text.split("\n----\n"):
    name, _, sql = chunk.partition("\n")
    if not sql.strip():
        continue
    try:
        parsed = sqlglot.parse(sql, read="tsql")
        if not parsed or parsed[0] is None:
            raise ParseError("nothing parsed")
    except Exception as e:  # noqa: BLE001 - every failure is reported
        failed += 1
        print(f"{name}: {e}")
sys.exit(1 if failed else 0)
