#!/usr/bin/python3
# Python's pytds (Debian's python3-tds) against a talvor-server: signs in, reads every column type,
# a failing statement, a parameterised sp_executesql, a transaction. Prints one line per check;
# exits non-zero on the first that fails.
#   pytds_client.py PORT USER PASSWORD [CAFILE]   (a CA file: the connection is encrypted)
import datetime
import decimal
import sys
import uuid

import pytds

port, user, password = int(sys.argv[1]), sys.argv[2], sys.argv[3]
cafile = sys.argv[4] if len(sys.argv) > 4 else None


def check(what, got, expected):
    if got != expected:
        print(f"FAIL {what}: got {got!r}, expected {expected!r}")
        sys.exit(1)
    print(f"ok {what}")


options = dict(server="127.0.0.1", port=port, database="Patient_Data", user=user, password=password,
               autocommit=True, timeout=30,
               # pytds gives its first try 8% of this; a password check on a busy machine takes a while.
               login_timeout=60)
if cafile:
    # pytds checks the certificate against this authority; the test's is self-signed for 127.0.0.1.
    options.update(cafile=cafile, validate_host=False)

try:
    conn = pytds.connect(**options)
except Exception as e:  # one line the test can show, instead of a traceback it would cut
    print(f"FAIL cannot sign in: {type(e).__name__}: {e}")
    sys.exit(1)

with conn:
    cur = conn.cursor()
    cur.execute("SELECT SUSER_SNAME(), DB_NAME()")
    check("signed in", tuple(cur.fetchone()), (user, "Patient_Data"))

    # The values TestDatabase.cpp puts in EveryType, as pytds hands them over.
    cur.execute("SELECT * FROM EveryType")
    names = [d[0] for d in cur.description]
    rows = cur.fetchall()
    check("every column", len(names), 30)
    check("two rows", len(rows), 2)
    row = dict(zip(names, rows[0]))
    expected = {
        "c_bit": True,
        "c_tinyint": 255,
        "c_smallint": -32768,
        "c_int": -2147483647,
        "c_bigint": 9007199254740993,
        "c_decimal": decimal.Decimal("-12345.67"),
        "c_numeric": decimal.Decimal("123456789012345678.654321"),
        "c_smallmoney": decimal.Decimal("-214.7483"),
        "c_money": decimal.Decimal("922337203685477.5807"),
        "c_real": 1.5,
        "c_float": -2.25e-300,
        "c_char": "ab   ",
        "c_varchar": "Ábalos Núñez €",
        "c_varcharmax": "x" * 10000,
        "c_text": "long text",
        "c_nchar": "Éva ",
        "c_nvarchar": "Ωμέγα 😀",
        "c_nvarcharmax": "y" * 5000 + "Ω",
        "c_ntext": "ntext Ω",
        "c_binary": b"\x01\x02\x00\x00",
        "c_varbinary": b"\x00\xff\x10",
        "c_varbinarymax": b"Z" * 9000,
        "c_image": b"img",
        "c_date": datetime.date(2026, 12, 6),
        "c_time": datetime.time(13, 45, 30, 123456),
        "c_smalldatetime": datetime.datetime(2026, 12, 6, 8, 30),
        "c_datetime": datetime.datetime(1990, 1, 2, 23, 59, 59, 997000),
        "c_datetime2": datetime.datetime(2026, 12, 6, 13, 45, 30, 123456),
        "c_uniqueidentifier": uuid.UUID("6F9619FF-8B86-D011-B42D-00C04FC964FF"),
    }
    for name, value in expected.items():
        got = row[name]
        if isinstance(got, (bytes, bytearray)):
            got = bytes(got)
        check(name, got, value)
    offset = row["c_datetimeoffset"]
    check("c_datetimeoffset", (offset.isoformat(), offset.utcoffset()),
          ("2026-12-06T13:45:30.123456+08:00", datetime.timedelta(hours=8)))
    check("row of NULLs", [v for v in rows[1] if v is not None], [])

    # learn.microsoft.com: Database engine events and errors, 208.
    try:
        cur.execute("SELECT * FROM Missing")
        check("failing statement raised", False, True)
    except pytds.Error as e:
        check("error number", e.msg_no, 208)
        check("error text", e.text, "Invalid object name 'Missing'.")
    cur.execute("SELECT 1")
    check("usable after the error", cur.fetchone()[0], 1)

    # pytds sends parameters as a call of sp_executesql with typed values.
    cur.execute("SELECT %s + 1, %s, %s", (41, "O'Brien Ñ", datetime.date(1985, 7, 15)))
    check("parameters", tuple(cur.fetchone()), (42, "O'Brien Ñ", datetime.date(1985, 7, 15)))
    cur.execute("EXEC sp_executesql N'SELECT @a * 2', N'@a int', @a = 21")
    check("sp_executesql", cur.fetchone()[0], 42)

    cur.execute("SELECT COUNT(*) FROM tbLog")
    before = cur.fetchone()[0]
    conn.autocommit = False
    cur.execute("INSERT INTO tbLog VALUES (%s)", (7,))
    cur.execute("SELECT @@TRANCOUNT")
    check("in a transaction", cur.fetchone()[0], 1)
    conn.rollback()
    conn.autocommit = True
    cur.execute("SELECT COUNT(*) FROM tbLog")
    check("rolled back", cur.fetchone()[0], before)

print("pytds: all checks passed")
