// Describes an .mdb with mdb-reader, one line per item, tab-separated:
//   T <table>                                   every user table, in the file's order
//   S <table>                                   every system table
//   C <table> <column> <type> <size> <nullable 0|1> <autoLong 0|1>
// Usage: node mdb_describe.mjs <oracles folder> <file.mdb>
import { readFileSync } from "node:fs";
import { pathToFileURL } from "node:url";
import path from "node:path";

const [oracles, file] = process.argv.slice(2);
const { default: MDBReader } = await import(
  pathToFileURL(path.join(oracles, "node_modules/mdb-reader/lib/node/index.js")).href);
const reader = new MDBReader(readFileSync(file));
const out = [];
for (const name of reader.getTableNames({ normalTables: false, systemTables: true })) out.push(`S\t${name}`);
for (const name of reader.getTableNames()) {
  out.push(`T\t${name}`);
  for (const c of reader.getTable(name).getColumns()) {
    out.push(["C", name, c.name, c.type, c.size, c.nullable ? 1 : 0, c.autoLong ? 1 : 0].join("\t"));
  }
}
process.stdout.write(out.join("\n") + "\n");
