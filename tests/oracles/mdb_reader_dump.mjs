// Prints what the mdb-reader package sees in a .mdb file, as JSON on stdout:
// { tables: [...all names incl. system...], details: { name: { rowCount, columns: [...] } } }
// Usage: node mdb_reader_dump.mjs FILE [TABLE...]   (no TABLE: details of every user table)
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [file, ...wanted] = process.argv.slice(2);
try {
  const reader = new MDBReader(readFileSync(file));
  const tables = reader.getTableNames({ normalTables: true, systemTables: true, linkedTables: true });
  const names = wanted.length ? wanted : reader.getTableNames();
  const details = {};
  for (const name of names) {
    const t = reader.getTable(name);
    details[name] = {
      rowCount: t.rowCount,
      columns: t.getColumns().map((c) => ({
        name: c.name, type: c.type, size: c.size, fixedLength: c.fixedLength,
        nullable: c.nullable, autoLong: c.autoLong ?? false,
      })),
      rows: t.getData().length,
    };
  }
  process.stdout.write(JSON.stringify({ tables, details }) + "\n");
} catch (e) {
  process.stdout.write(JSON.stringify({ error: String(e && e.message ? e.message : e) }) + "\n");
  process.exit(2);
}
