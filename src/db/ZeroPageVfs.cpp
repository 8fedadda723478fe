#include "db/ZeroPageVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <vector>

namespace quarvel {
namespace {

// The bytes at the start of a page kept with its note (an overflow page starts with the number
// of the next one), and the page sizes the engine writes.
constexpr int kHead = 8;
constexpr int kSmallestPage = 512;
constexpr int kLargestPage = 65536;

struct ZeroPage {
    int length;
    unsigned char head[kHead];
};

// One open file: the engine's own file behind it and, for a main database file, the pages not
// yet written, by offset.
struct File {
    sqlite3_file base;
    sqlite3_file* real;
    std::map<sqlite3_int64, ZeroPage>* pending;
};

sqlite3_vfs* g_default = nullptr;
sqlite3_vfs g_vfs;
sqlite3_io_methods g_methods;

File* fileOf(sqlite3_file* f) { return reinterpret_cast<File*>(f); }
const sqlite3_io_methods* realMethods(File* file) { return file->real->pMethods; }

bool isPageWrite(int amount, sqlite3_int64 offset)
{
    return amount >= kSmallestPage && amount <= kLargestPage && (amount & (amount - 1)) == 0 && offset >= 0
           && offset % amount == 0;
}

bool zeroAfterHead(const unsigned char* bytes, int amount)
{
    static const unsigned char zeros[kLargestPage] = {};
    return std::memcmp(bytes + kHead, zeros, size_t(amount - kHead)) == 0;
}

int writePage(File* file, sqlite3_int64 offset, const ZeroPage& page)
{
    std::vector<unsigned char> bytes(size_t(page.length), 0);
    std::memcpy(bytes.data(), page.head, kHead);
    return realMethods(file)->xWrite(file->real, bytes.data(), page.length, offset);
}

// Writes the noted pages that share a byte with [offset, offset + amount) and forgets them; a
// page that `covering` says lies wholly inside the range is only forgotten (it is written over).
int settle(File* file, sqlite3_int64 offset, sqlite3_int64 amount, bool covering)
{
    auto& pending = *file->pending;
    auto it = pending.lower_bound(offset);
    if (it != pending.begin()) {
        const auto before = std::prev(it);
        if (before->first + before->second.length > offset)
            it = before;
    }
    while (it != pending.end() && it->first < offset + amount) {
        const bool inside = it->first >= offset && it->first + it->second.length <= offset + amount;
        if (!(covering && inside)) {
            const int rc = writePage(file, it->first, it->second);
            if (rc != SQLITE_OK)
                return rc;
        }
        it = pending.erase(it);
    }
    return SQLITE_OK;
}

// Where the last noted page ends; 0 when none is noted.
sqlite3_int64 pendingEnd(File* file)
{
    if (!file->pending || file->pending->empty())
        return 0;
    return file->pending->rbegin()->first + file->pending->rbegin()->second.length;
}

int settleAll(File* file)
{
    const sqlite3_int64 end = pendingEnd(file);
    return end > 0 ? settle(file, 0, end, false) : SQLITE_OK;
}

int fileClose(sqlite3_file* f)
{
    File* file = fileOf(f);
    const int settled = settleAll(file);
    const int rc = realMethods(file)->xClose(file->real);
    delete file->pending;
    file->pending = nullptr;
    return settled != SQLITE_OK ? settled : rc;
}

int fileRead(sqlite3_file* f, void* data, int amount, sqlite3_int64 offset)
{
    File* file = fileOf(f);
    if (file->pending && !file->pending->empty()) {
        const auto it = file->pending->find(offset);
        if (it != file->pending->end() && it->second.length == amount) {
            std::memset(data, 0, size_t(amount));
            std::memcpy(data, it->second.head, kHead);
            return SQLITE_OK;
        }
        const sqlite3_int64 end = pendingEnd(file);
        int rc = settle(file, offset, amount, false);
        if (rc != SQLITE_OK)
            return rc;
        rc = realMethods(file)->xRead(file->real, data, amount, offset);
        // Short of a page still noted further on, the file only seems to end early: the engine's
        // file access has filled the rest with zeros, as a plain file would hold there.
        return rc == SQLITE_IOERR_SHORT_READ && offset + amount <= end ? SQLITE_OK : rc;
    }
    return realMethods(file)->xRead(file->real, data, amount, offset);
}

int fileWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset)
{
    File* file = fileOf(f);
    if (!file->pending)
        return realMethods(file)->xWrite(file->real, data, amount, offset);
    const auto* bytes = static_cast<const unsigned char*>(data);
    const bool zeroPage = isPageWrite(amount, offset) && zeroAfterHead(bytes, amount);
    if (!file->pending->empty()) {
        const int rc = settle(file, offset, amount, true);
        if (rc != SQLITE_OK)
            return rc;
    }
    if (!zeroPage)
        return realMethods(file)->xWrite(file->real, data, amount, offset);
    ZeroPage page{amount, {}};
    std::memcpy(page.head, bytes, kHead);
    file->pending->emplace(offset, page);
    return SQLITE_OK;
}

int fileTruncate(sqlite3_file* f, sqlite3_int64 size)
{
    File* file = fileOf(f);
    // Pages wholly beyond the new end are dropped; one that the end cuts is written first.
    if (const sqlite3_int64 end = pendingEnd(file); end > size) {
        const int rc = settle(file, size, end - size, true);
        if (rc != SQLITE_OK)
            return rc;
    }
    return realMethods(file)->xTruncate(file->real, size);
}

int fileSync(sqlite3_file* f, int flags)
{
    File* file = fileOf(f);
    const int rc = settleAll(file);
    return rc != SQLITE_OK ? rc : realMethods(file)->xSync(file->real, flags);
}

int fileSize(sqlite3_file* f, sqlite3_int64* size)
{
    File* file = fileOf(f);
    const int rc = realMethods(file)->xFileSize(file->real, size);
    if (rc == SQLITE_OK)
        *size = std::max(*size, pendingEnd(file));
    return rc;
}

int fileLock(sqlite3_file* f, int level) { return realMethods(fileOf(f))->xLock(fileOf(f)->real, level); }

int fileUnlock(sqlite3_file* f, int level)
{
    // Before other connections may read the file, it holds everything written.
    File* file = fileOf(f);
    const int rc = settleAll(file);
    return rc != SQLITE_OK ? rc : realMethods(file)->xUnlock(file->real, level);
}

int fileCheckReservedLock(sqlite3_file* f, int* out)
{
    return realMethods(fileOf(f))->xCheckReservedLock(fileOf(f)->real, out);
}

int fileControl(sqlite3_file* f, int op, void* arg)
{
    File* file = fileOf(f);
    if (op == SQLITE_FCNTL_SYNC_OMITTED) {
        const int rc = settleAll(file);
        if (rc != SQLITE_OK)
            return rc;
    }
    return realMethods(file)->xFileControl(file->real, op, arg);
}

int fileSectorSize(sqlite3_file* f) { return realMethods(fileOf(f))->xSectorSize(fileOf(f)->real); }

int fileDeviceCharacteristics(sqlite3_file* f)
{
    return realMethods(fileOf(f))->xDeviceCharacteristics(fileOf(f)->real);
}

int fileShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out)
{
    return realMethods(fileOf(f))->xShmMap(fileOf(f)->real, region, size, extend, out);
}

int fileShmLock(sqlite3_file* f, int offset, int n, int flags)
{
    return realMethods(fileOf(f))->xShmLock(fileOf(f)->real, offset, n, flags);
}

void fileShmBarrier(sqlite3_file* f) { realMethods(fileOf(f))->xShmBarrier(fileOf(f)->real); }

int fileShmUnmap(sqlite3_file* f, int deleteFlag)
{
    return realMethods(fileOf(f))->xShmUnmap(fileOf(f)->real, deleteFlag);
}

int vfsOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
{
    File* file = fileOf(f);
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    file->pending = nullptr;
    file->base.pMethods = nullptr;
    const int rc = g_default->xOpen(g_default, name, file->real, flags, outFlags);
    if (!file->real->pMethods)
        return rc;
    if ((flags & SQLITE_OPEN_MAIN_DB) != 0 && file->real->pMethods->iVersion >= 2)
        file->pending = new std::map<sqlite3_int64, ZeroPage>;
    file->base.pMethods = &g_methods;
    return rc;
}

int vfsDelete(sqlite3_vfs*, const char* name, int syncDir) { return g_default->xDelete(g_default, name, syncDir); }
int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* out)
{
    return g_default->xAccess(g_default, name, flags, out);
}
int vfsFullPathname(sqlite3_vfs*, const char* name, int n, char* out)
{
    return g_default->xFullPathname(g_default, name, n, out);
}
void* vfsDlOpen(sqlite3_vfs*, const char* name) { return g_default->xDlOpen(g_default, name); }
void vfsDlError(sqlite3_vfs*, int n, char* out) { g_default->xDlError(g_default, n, out); }
void (*vfsDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void)
{
    return g_default->xDlSym(g_default, handle, symbol);
}
void vfsDlClose(sqlite3_vfs*, void* handle) { g_default->xDlClose(g_default, handle); }
int vfsRandomness(sqlite3_vfs*, int n, char* out) { return g_default->xRandomness(g_default, n, out); }
int vfsSleep(sqlite3_vfs*, int micro) { return g_default->xSleep(g_default, micro); }
int vfsCurrentTime(sqlite3_vfs*, double* out) { return g_default->xCurrentTime(g_default, out); }
int vfsGetLastError(sqlite3_vfs*, int n, char* out)
{
    return g_default->xGetLastError ? g_default->xGetLastError(g_default, n, out) : 0;
}
int vfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return g_default->xCurrentTimeInt64(g_default, out); }

bool install()
{
    if (sqlite3_initialize() != SQLITE_OK)
        return false;
    g_default = sqlite3_vfs_find(nullptr);
    if (!g_default || g_default->iVersion < 2 || g_default->szOsFile <= 0)
        return false;

    g_methods = {};
    g_methods.iVersion = 2;  // no memory-mapped access: every read passes through fileRead
    g_methods.xClose = fileClose;
    g_methods.xRead = fileRead;
    g_methods.xWrite = fileWrite;
    g_methods.xTruncate = fileTruncate;
    g_methods.xSync = fileSync;
    g_methods.xFileSize = fileSize;
    g_methods.xLock = fileLock;
    g_methods.xUnlock = fileUnlock;
    g_methods.xCheckReservedLock = fileCheckReservedLock;
    g_methods.xFileControl = fileControl;
    g_methods.xSectorSize = fileSectorSize;
    g_methods.xDeviceCharacteristics = fileDeviceCharacteristics;
    g_methods.xShmMap = fileShmMap;
    g_methods.xShmLock = fileShmLock;
    g_methods.xShmBarrier = fileShmBarrier;
    g_methods.xShmUnmap = fileShmUnmap;

    g_vfs = {};
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = int(sizeof(File)) + g_default->szOsFile;
    g_vfs.mxPathname = g_default->mxPathname;
    g_vfs.zName = "quarvel-zero-pages";
    g_vfs.xOpen = vfsOpen;
    g_vfs.xDelete = vfsDelete;
    g_vfs.xAccess = vfsAccess;
    g_vfs.xFullPathname = vfsFullPathname;
    g_vfs.xDlOpen = vfsDlOpen;
    g_vfs.xDlError = vfsDlError;
    g_vfs.xDlSym = vfsDlSym;
    g_vfs.xDlClose = vfsDlClose;
    g_vfs.xRandomness = vfsRandomness;
    g_vfs.xSleep = vfsSleep;
    g_vfs.xCurrentTime = vfsCurrentTime;
    g_vfs.xGetLastError = vfsGetLastError;
    g_vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    return sqlite3_vfs_register(&g_vfs, 1) == SQLITE_OK;
}

}  // namespace

bool installZeroPageVfs()
{
    static std::once_flag once;
    static bool installed = false;
    std::call_once(once, [] { installed = install(); });
    return installed;
}

}  // namespace quarvel
