// Recovery from a damaged journal. Once per process a real interrupted write is made: a table is
// added to a copy of a small database by a child process that ends after the database was written
// but before it was synced, leaving the half-written file and its journal. Each input then damages
// that journal - bytes flipped from a given offset, optionally cut short, optionally with its
// identity and checksums made right again so the damage reaches the deeper checks - and the
// database is opened for writing.
//
// Whatever the journal says, opening either succeeds or is refused with jet::JetError, and:
// - a refusal changes neither the database nor the journal (unless the journal, made right
//   again by the harness, was applied and what it put back is then refused as damaged);
// - the undamaged journal is applied: the database is byte for byte what it was before the
//   interrupted write, and so it is after any other opening that succeeds with a journal whose
//   only damage is what its checksums can reveal (such a journal is never acted on).
#include <cstddef>
#include <cstdint>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dao.h"
#include "file_io.h"
#include "fuzz_support.h"
#include "journal.h"

namespace {

struct Scene {
    fuzz::Bytes original;     // the database before the interrupted write
    fuzz::Bytes halfWritten;  // the database the interrupted write left
    fuzz::Bytes journal;      // its journal
};

std::string scenePath() { return fuzz::scratchDir() + "/recover.mdb"; }

const Scene& scene() {
    static const Scene s = [] {
        Scene out;
        out.original = fuzz::readFile(std::string(XLSDB_TEST_DATA) + "/mdb/jet_created_adox_jet4.mdb");
        if (out.original.empty()) fuzz::fail("the seed database is missing");
        // The journal names its database by device and inode: every input reuses this file.
        const std::string path = scenePath();
        fuzz::writeFile(path, out.original.data(), out.original.size());
        // The write runs in a child process that ends itself at the step, as a killed run would.
        const pid_t child = ::fork();
        if (child < 0) fuzz::fail("fork failed");
        if (child == 0) {
            jet::setFaultHook([](const char* step) {
                if (std::string(step) == "db-fsync") ::_exit(0);
            });
            auto db = jet::DBEngine().OpenDatabase(path);
            auto table = db->CreateTableDef("Interrupted");
            table->Fields().Append(table->CreateField("ID", jet::dbLong));
            table->Fields().Append(table->CreateField("Name", jet::dbText, 40));
            db->TableDefs().Append(table);
            ::_exit(1);
        }
        int status = 0;
        if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            fuzz::fail("the write was not ended at its step");
        out.halfWritten = fuzz::readFile(path);
        out.journal = fuzz::readFile(jet::journalPath(path));
        if (out.journal.empty() || out.halfWritten == out.original) fuzz::fail("no interrupted write to start from");
        std::remove(jet::journalPath(path).c_str());
        return out;
    }();
    return s;
}

std::uint64_t fnv1a(const std::uint8_t* p, std::size_t n) {
    std::uint64_t h = 1469598103934665603ULL;
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ULL;
    return h;
}
void put64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
std::uint32_t get32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }

// Makes identity and checksums of a version-3 journal right again after damage (its layout:
// head of 60 bytes with device and inode at 36 and 44 and its checksum at 52; records of old
// pages and of appended pages, each followed by its checksum; a trailer with the checksum of
// everything before it).
void reseal(fuzz::Bytes& j, const std::string& dbPath) {
    const std::size_t kHead = 60, kPage = 4096, kOld = 4 + 8 + 8 + kPage, kNew = 4 + kPage;
    if (j.size() < kHead) return;
    struct stat st;
    if (::stat(dbPath.c_str(), &st) != 0) return;
    put64(&j[36], std::uint64_t(st.st_dev));
    put64(&j[44], std::uint64_t(st.st_ino));
    put64(&j[52], fnv1a(j.data(), 52));
    std::size_t off = kHead;
    const std::uint32_t n = get32(&j[28]), m = get32(&j[32]);
    for (std::uint32_t i = 0; i < n && off + kOld + 8 <= j.size(); ++i, off += kOld + 8) put64(&j[off + kOld], fnv1a(&j[off], kOld));
    for (std::uint32_t i = 0; i < m && off + kNew + 8 <= j.size(); ++i, off += kNew + 8) put64(&j[off + kNew], fnv1a(&j[off], kNew));
    if (off + 16 == j.size()) put64(&j[off], fnv1a(j.data(), off));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Scene& s = scene();
    if (size < 9) return 0;
    // control byte: bit 0 reseal, bit 1 cut short at the given length; then offset, length, flips
    const bool resealed = data[0] & 1, cut = data[0] & 2;
    const std::size_t offset = get32(data + 1) % s.journal.size();
    const std::size_t length = get32(data + 5) % (s.journal.size() + 1);
    fuzz::Bytes journal = s.journal;
    for (std::size_t i = 9; i < size && offset + (i - 9) < journal.size(); ++i) journal[offset + (i - 9)] ^= data[i];
    if (cut) journal.resize(length);

    const std::string path = scenePath(), jpath = jet::journalPath(path);
    fuzz::writeFile(path, s.halfWritten.data(), s.halfWritten.size());
    if (resealed) reseal(journal, path);
    fuzz::writeFile(jpath, journal.data(), journal.size());
    const bool plainDamage = !resealed && !cut;  // only what the checksums can show
    const bool untouched = journal == s.journal;

    bool opened = false;
    try {
        auto db = jet::DBEngine().OpenDatabase(path);
        opened = true;
    } catch (const jet::JetError& e) {
        if (std::getenv("FUZZ_VERBOSE")) std::fprintf(stderr, "refused: %s\n", e.what());
    }
    if (!opened) {
        if (untouched) fuzz::fail("the journal of an interrupted write was refused");
        // A resealed journal may be applied and leave a file that is then refused as damaged:
        // its pages were what the journal said. Such a journal is gone; any other stays as it was.
        const bool appliedThenRefused = (resealed || cut) && !fuzz::exists(jpath);
        if (!appliedThenRefused) {
            if (fuzz::readFile(path) != s.halfWritten) fuzz::fail("a refused recovery changed the database");
            if (fuzz::readFile(jpath) != journal) fuzz::fail("a refused recovery changed the journal");
        }
    } else if ((plainDamage || untouched) && fuzz::readFile(path) != s.original) {
        fuzz::fail("the database is not what it was before the interrupted write");
    }
    std::remove(jpath.c_str());
    return 0;
}
