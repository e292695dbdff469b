// Node.js's tedious against a talvor-server: signs in, reads every column type, a failing
// statement, a parameterised sp_executesql, a transaction. Prints one line per check; exits
// non-zero on the first that fails.
//   node tedious_client.js PORT USER PASSWORD [encrypt]
'use strict';
const { Connection, Request, TYPES } = require('tedious');

const [port, user, password, encrypt] = process.argv.slice(2);

function fail(text) {
  console.log('FAIL ' + text);
  process.exit(1);
}

function check(what, got, expected) {
  const a = JSON.stringify(got), b = JSON.stringify(expected);
  if (a !== b) fail(`${what}: got ${a}, expected ${b}`);
  console.log('ok ' + what);
}

const connection = new Connection({
  server: '127.0.0.1',
  authentication: { type: 'default', options: { userName: user, password } },
  options: {
    port: Number(port),
    database: 'Patient_Data',
    encrypt: encrypt === 'encrypt',
    // The test's certificate is self-signed.
    trustServerCertificate: true,
    // A password check on a busy machine takes a while.
    connectTimeout: 60000,
    requestTimeout: 30000,
    useUTC: false,
  },
});

// Runs a batch (or a call when parameters are given); resolves with its rows as arrays.
function query(text, parameters) {
  return new Promise((resolve, reject) => {
    const rows = [];
    const request = new Request(text, (err) => (err ? reject(err) : resolve(rows)));
    request.on('row', (columns) => rows.push(columns.map((c) => c.value)));
    if (parameters) {
      for (const [name, type, value] of parameters) request.addParameter(name, type, value);
      connection.execSql(request);
    } else {
      connection.execSqlBatch(request);
    }
  });
}

function transaction(method) {
  return new Promise((resolve, reject) => connection[method]((err) => (err ? reject(err) : resolve())));
}

function columns(text) {
  return new Promise((resolve, reject) => {
    let names = [];
    const request = new Request(text, (err) => (err ? reject(err) : resolve(names)));
    request.on('columnMetadata', (meta) => { names = meta.map((c) => c.colName); });
    connection.execSqlBatch(request);
  });
}

async function main() {
  check('signed in', await query('SELECT SUSER_SNAME(), DB_NAME()'), [[user, 'Patient_Data']]);

  // The values TestDatabase.cpp puts in EveryType, as tedious hands them over (decimals as
  // numbers, dates as local Date objects, binaries as Buffers).
  const names = await columns('SELECT * FROM EveryType');
  check('every column', names.length, 30);
  const rows = await query('SELECT * FROM EveryType');
  check('two rows', rows.length, 2);
  const row = Object.fromEntries(names.map((n, i) => [n, rows[0][i]]));
  const hex = (b) => Buffer.from(b).toString('hex');
  const expected = {
    c_bit: true, c_tinyint: 255, c_smallint: -32768, c_int: -2147483647, c_bigint: '9007199254740993',
    c_decimal: -12345.67, c_smallmoney: -214.7483, c_money: 922337203685477.6, c_real: 1.5, c_float: -2.25e-300,
    c_char: 'ab   ', c_varchar: 'Ábalos Núñez €', c_varcharmax: 'x'.repeat(10000), c_text: 'long text',
    c_nchar: 'Éva ', c_nvarchar: 'Ωμέγα 😀', c_nvarcharmax: 'y'.repeat(5000) + 'Ω', c_ntext: 'ntext Ω',
    c_uniqueidentifier: '6F9619FF-8B86-D011-B42D-00C04FC964FF',
  };
  for (const [name, value] of Object.entries(expected)) check(name, row[name], value);
  check('c_numeric', Number(row.c_numeric), 123456789012345678.654321);
  check('c_binary', hex(row.c_binary), '01020000');
  check('c_varbinary', hex(row.c_varbinary), '00ff10');
  check('c_varbinarymax', hex(row.c_varbinarymax), '5a'.repeat(9000));
  check('c_image', hex(row.c_image), '696d67');
  const local = (d) => [d.getFullYear(), d.getMonth() + 1, d.getDate(), d.getHours(), d.getMinutes(), d.getSeconds(), d.getMilliseconds()];
  check('c_date', local(row.c_date).slice(0, 3), [2026, 12, 6]);
  check('c_smalldatetime', local(row.c_smalldatetime), [2026, 12, 6, 8, 30, 0, 0]);
  check('c_datetime', local(row.c_datetime), [1990, 1, 2, 23, 59, 59, 997]);
  check('c_datetime2', local(row.c_datetime2), [2026, 12, 6, 13, 45, 30, 123]);
  check('c_datetimeoffset', row.c_datetimeoffset.toISOString(), '2026-12-06T05:45:30.123Z');
  check('row of NULLs', rows[1].filter((v) => v !== null), []);

  // learn.microsoft.com: Database engine events and errors, 208.
  try {
    await query('SELECT * FROM Missing');
    fail('a failing statement did not fail');
  } catch (e) {
    check('error number', e.number, 208);
    check('error text', e.message, "Invalid object name 'Missing'.");
  }
  check('usable after the error', await query('SELECT 1'), [[1]]);

  // tedious sends execSql as a call of sp_executesql with typed parameters.
  check('sp_executesql', await query('SELECT @a * 2, @name', [['a', TYPES.Int, 21], ['name', TYPES.NVarChar, "O'Brien Ñ"]]),
        [[42, "O'Brien Ñ"]]);

  const [[before]] = await query('SELECT COUNT(*) FROM tbLog');
  await transaction('beginTransaction');
  await query('INSERT INTO tbLog VALUES (8)');
  check('in a transaction', await query('SELECT @@TRANCOUNT'), [[1]]);
  await transaction('rollbackTransaction');
  check('rolled back', await query('SELECT COUNT(*) FROM tbLog'), [[before]]);
  console.log('tedious: all checks passed');
  connection.close();
}

connection.on('connect', (err) => {
  if (err) fail('cannot sign in: ' + err.message);
  main().catch((e) => fail(e.stack || String(e)));
});
connection.connect();
