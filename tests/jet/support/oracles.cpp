#include "oracles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#ifdef _WIN32
#include <process.h>
#else
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#ifndef XLSDB_TEST_DATA
#define XLSDB_TEST_DATA "tests/data"
#endif
#ifndef XLSDB_ORACLES_DIR
#define XLSDB_ORACLES_DIR "tests/oracles"
#endif

namespace jet::testsupport {

#ifdef _WIN32
// The oracles are Linux programs: the Windows build's tests do without them.
CommandResult run(const std::vector<std::string>& argv) {
    CommandResult r;
    r.err = argv.empty() ? "" : argv[0] + ": not run on Windows";
    return r;
}
#else
CommandResult run(const std::vector<std::string>& argv) {
    CommandResult r;
    int outp[2], errp[2];
    if (pipe(outp) != 0 || pipe(errp) != 0) return r;
    pid_t pid = fork();
    if (pid < 0) return r;
    if (pid == 0) {
        dup2(outp[1], 1);
        dup2(errp[1], 2);
        close(outp[0]);
        close(errp[0]);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(outp[1]);
    close(errp[1]);
    pollfd fds[2] = {{outp[0], POLLIN, 0}, {errp[0], POLLIN, 0}};
    int open = 2;
    char buf[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}
#endif

std::string testDataDir() { return XLSDB_TEST_DATA; }

std::string scratchDir() {
    // Never destroyed, so the clean-up at exit can still read it.
    static const std::string* dir = [] {
#ifdef _WIN32
        std::string made;
        for (int i = 0; made.empty() && i < 100; ++i) {
            const auto p = std::filesystem::temp_directory_path() /
                           ("xlsdb-jet-test-" + std::to_string(_getpid()) + "-" + std::to_string(i));
            if (std::filesystem::create_directory(p)) made = p.u8string();
        }
        if (made.empty()) throw std::runtime_error("no scratch folder");
        std::vector<char> b(made.begin(), made.end());
        b.push_back(0);
#else
        const char* base = std::getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/xlsdb-jet-test-XXXXXX";
        std::vector<char> b(tmpl.begin(), tmpl.end());
        b.push_back(0);
        if (!mkdtemp(b.data())) throw std::runtime_error("mkdtemp failed");
#endif
        // Removed when the test program ends (set XLSDB_KEEP_SCRATCH to keep it for a look).
        std::atexit([] {
            if (!std::getenv("XLSDB_KEEP_SCRATCH")) {
                std::error_code ec;
                std::filesystem::remove_all(*dir, ec);
            }
        });
        return new std::string(b.data());
    }();
    return *dir;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string copyToScratch(const std::string& source, const std::string& name) {
    std::string dst = scratchDir() + "/" + name;
    std::string data = readFile(source);
    if (data.empty()) throw std::runtime_error("cannot read " + source);
    std::ofstream out(dst, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) throw std::runtime_error("cannot write " + dst);
    return dst;
}

std::string mdbVer(const std::string& file) {
    auto r = run({"mdb-ver", file});
    std::string s = r.out;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return r.exitCode == 0 ? s : "";
}

std::vector<std::string> mdbTables(const std::string& file) {
    auto r = run({"mdb-tables", "-S", "-1", file});
    std::vector<std::string> out;
    if (r.exitCode != 0) return out;
    std::istringstream in(r.out);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) out.push_back(line);
    return out;
}

CommandResult mdbExport(const std::string& file, const std::string& table) { return run({"mdb-export", file, table}); }

namespace {
std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n,");
    size_t b = s.find_last_not_of(" \t\r\n,");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}
}  // namespace

SchemaTable mdbSchema(const std::string& file, const std::string& table) {
    SchemaTable t;
    auto r = run({"mdb-schema", "-T", table, file, "mysql"});
    t.raw = r.out + r.err;
    if (r.exitCode != 0) return t;
    std::istringstream in(r.out);
    std::string line;
    bool inTable = false;
    while (std::getline(in, line)) {
        if (line.rfind("CREATE TABLE", 0) == 0) {
            inTable = true;
            t.found = true;
            continue;
        }
        if (inTable && line.find(");") != std::string::npos) {
            inTable = false;
            continue;
        }
        if (inTable) {
            std::string s = trim(line);
            if (s.empty() || s == "(" || s[0] != '`') continue;
            size_t e = s.find('`', 1);
            SchemaColumn c;
            c.name = s.substr(1, e - 1);
            std::string rest = trim(s.substr(e + 1));
            c.notNull = rest.find("NOT NULL") != std::string::npos;
            c.autoIncrement = rest.find("auto_increment") != std::string::npos;
            size_t cut = rest.find(" not null");
            if (cut == std::string::npos) cut = rest.find(" NOT NULL");
            c.type = trim(rest.substr(0, cut));
            t.columns.push_back(c);
        }
        auto pk = line.find("ADD PRIMARY KEY (");
        if (pk != std::string::npos) {
            std::string list = line.substr(pk + 17);
            list = list.substr(0, list.find(')'));
            size_t p = 0;
            while ((p = list.find('`', p)) != std::string::npos) {
                size_t q = list.find('`', p + 1);
                t.primaryKey.push_back(list.substr(p + 1, q - p - 1));
                p = q + 1;
            }
        }
    }
    return t;
}

// ---- a small JSON reader for the oracle script's output -------------------------------

namespace {
struct Json {
    enum Kind { Null, Bool, Num, Str, Arr, Obj } kind = Null;
    bool b = false;
    double n = 0;
    std::string s;
    std::vector<Json> a;
    std::vector<std::pair<std::string, Json>> o;
    const Json* get(const std::string& k) const {
        for (auto& kv : o)
            if (kv.first == k) return &kv.second;
        return nullptr;
    }
};

class JsonParser {
public:
    explicit JsonParser(const std::string& t) : t_(t) {}
    Json parse() {
        Json j = value();
        return j;
    }

private:
    const std::string& t_;
    size_t i_ = 0;
    void ws() {
        while (i_ < t_.size() && isspace(static_cast<unsigned char>(t_[i_]))) ++i_;
    }
    [[noreturn]] void fail() { throw std::runtime_error("bad JSON from the oracle"); }
    Json value() {
        ws();
        if (i_ >= t_.size()) fail();
        Json j;
        char c = t_[i_];
        if (c == '{') {
            j.kind = Json::Obj;
            ++i_;
            ws();
            if (t_[i_] == '}') { ++i_; return j; }
            while (true) {
                ws();
                std::string k = str();
                ws();
                if (t_[i_++] != ':') fail();
                j.o.emplace_back(k, value());
                ws();
                if (t_[i_] == ',') { ++i_; continue; }
                if (t_[i_] == '}') { ++i_; break; }
                fail();
            }
        } else if (c == '[') {
            j.kind = Json::Arr;
            ++i_;
            ws();
            if (t_[i_] == ']') { ++i_; return j; }
            while (true) {
                j.a.push_back(value());
                ws();
                if (t_[i_] == ',') { ++i_; continue; }
                if (t_[i_] == ']') { ++i_; break; }
                fail();
            }
        } else if (c == '"') {
            j.kind = Json::Str;
            j.s = str();
        } else if (t_.compare(i_, 4, "true") == 0) {
            j.kind = Json::Bool; j.b = true; i_ += 4;
        } else if (t_.compare(i_, 5, "false") == 0) {
            j.kind = Json::Bool; i_ += 5;
        } else if (t_.compare(i_, 4, "null") == 0) {
            i_ += 4;
        } else {
            j.kind = Json::Num;
            size_t end = i_;
            while (end < t_.size() && (isdigit(static_cast<unsigned char>(t_[end])) || strchr("+-.eE", t_[end]))) ++end;
            j.n = std::stod(t_.substr(i_, end - i_));
            i_ = end;
        }
        return j;
    }
    std::string str() {
        if (t_[i_] != '"') fail();
        ++i_;
        std::string out;
        while (i_ < t_.size() && t_[i_] != '"') {
            char c = t_[i_++];
            if (c != '\\') { out.push_back(c); continue; }
            char e = t_[i_++];
            switch (e) {
                case 'n': out.push_back('\n'); break;
                case 't': out.push_back('\t'); break;
                case 'r': out.push_back('\r'); break;
                case 'b': out.push_back('\b'); break;
                case 'f': out.push_back('\f'); break;
                case 'u': {
                    unsigned cp = static_cast<unsigned>(std::stoul(t_.substr(i_, 4), nullptr, 16));
                    i_ += 4;
                    if (cp >= 0xD800 && cp <= 0xDBFF && t_.compare(i_, 2, "\\u") == 0) {
                        unsigned lo = static_cast<unsigned>(std::stoul(t_.substr(i_ + 2, 4), nullptr, 16));
                        i_ += 6;
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    }
                    if (cp < 0x80) out.push_back(static_cast<char>(cp));
                    else if (cp < 0x800) { out.push_back(static_cast<char>(0xC0 | (cp >> 6))); out.push_back(static_cast<char>(0x80 | (cp & 0x3F))); }
                    else if (cp < 0x10000) { out.push_back(static_cast<char>(0xE0 | (cp >> 12))); out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F))); out.push_back(static_cast<char>(0x80 | (cp & 0x3F))); }
                    else { out.push_back(static_cast<char>(0xF0 | (cp >> 18))); out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F))); out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F))); out.push_back(static_cast<char>(0x80 | (cp & 0x3F))); }
                    break;
                }
                default: out.push_back(e);
            }
        }
        ++i_;
        return out;
    }
};
}  // namespace

ReaderView mdbReader(const std::string& file, const std::vector<std::string>& tables) {
    ReaderView v;
    std::vector<std::string> argv = {"node", std::string(XLSDB_ORACLES_DIR) + "/mdb_reader_dump.mjs", file};
    argv.insert(argv.end(), tables.begin(), tables.end());
    auto r = run(argv);
    try {
        Json j = JsonParser(r.out).parse();
        if (const Json* e = j.get("error")) {
            v.error = e->s;
            return v;
        }
        if (const Json* t = j.get("tables"))
            for (auto& x : t->a) v.tables.push_back(x.s);
        if (const Json* d = j.get("details"))
            for (auto& kv : d->o) {
                ReaderTable rt;
                if (const Json* rc = kv.second.get("rowCount")) rt.rowCount = static_cast<int>(rc->n);
                if (const Json* cols = kv.second.get("columns"))
                    for (auto& c : cols->a) {
                        ReaderColumn col;
                        col.name = c.get("name") ? c.get("name")->s : "";
                        col.type = c.get("type") ? c.get("type")->s : "";
                        col.size = c.get("size") ? static_cast<int>(c.get("size")->n) : 0;
                        col.autoLong = c.get("autoLong") && c.get("autoLong")->b;
                        col.fixedLength = c.get("fixedLength") && c.get("fixedLength")->b;
                        rt.columns.push_back(col);
                    }
                v.details[kv.first] = rt;
            }
        v.ok = true;
    } catch (const std::exception& e) {
        v.error = std::string(e.what()) + ": " + r.out + r.err;
    }
    return v;
}

}  // namespace jet::testsupport
