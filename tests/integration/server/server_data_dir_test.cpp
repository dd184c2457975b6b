// The data folder holds credentials: the server keeps it and its files
// private without touching folders it did not create.

#include "integration/server/raw_http.h"
#include "integration/server/server_process.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <sys/stat.h>

namespace twk {
namespace {

namespace fs = std::filesystem;

unsigned modeOf(const fs::path& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0;
}

class ServerDataDirTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    fs::path root{tmp.path().toStdString()};
};

TEST_F(ServerDataDirTest, NewFolderAndFilesAreOwnerOnlyAndExistingFoldersKeepTheirMode)
{
    const fs::path fresh = root / "a" / "data";
    const fs::path shared = root / "shared";
    fs::create_directory(shared);
    ::chmod(shared.c_str(), 0755);
    for (const fs::path& dir : {fresh, shared}) {
        test::ServerProcess server(dir.string());
        ASSERT_EQ(test::rawRequest(server.port(), "GET /api/health HTTP/1.1\r\n\r\n").status, 200);
        EXPECT_EQ(server.stop(), 0);
        for (const char* file : {"tarnwick-server.sqlite3", "tarnwick-server.sqlite3-wal", "tarnwick-server.sqlite3-shm"})
            if (fs::exists(dir / file)) {
                EXPECT_EQ(modeOf(dir / file), 0600u) << file;
            }
    }
    EXPECT_EQ(modeOf(fresh), 0700u);
    EXPECT_EQ(modeOf(shared), 0755u);
}

TEST_F(ServerDataDirTest, AFolderOthersCanWriteToIsRefusedEvenThroughALink)
{
    const fs::path open = root / "everyone";
    fs::create_directory(open);
    ::chmod(open.c_str(), 01777);
    fs::create_directory_symlink(open, root / "link");
    test::ChildProcess server(TARNWICK_SERVER_EXE, {"--port", "0", "--data-dir", (root / "link").string()});
    EXPECT_EQ(server.waitForExit(), 1);
    EXPECT_NE(server.output().find("writable by others"), std::string::npos) << server.output();
    EXPECT_EQ(modeOf(open), 01777u);
    EXPECT_FALSE(fs::exists(open / "tarnwick-server.sqlite3"));
}

} // namespace
} // namespace twk
