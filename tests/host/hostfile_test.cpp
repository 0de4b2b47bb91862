// How the host reads and writes files, through the command line's OPEN,
// SAVE, SAVEAS and INSERT as a script runs them: only regular files are
// read, and at once; a save replaces the file a link names with its mode
// kept, refuses what it must not replace, and fails with the reason on a
// file-size limit or a full disk, leaving the old file whole; what a
// killed save left goes at the next open or save. What may block or end
// the process runs in a child process.
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/hostfile.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string g_out;

// The exit status of a child that could not set up what it tests.
constexpr int kCannot = 77;

class HostFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_out.clear();
        host::setOutput([](const std::string& s) { g_out += s; });
        acDocManager->newDocument();
    }
    void TearDown() override
    {
        host::setLineSource(nullptr);
        host::setOutput(nullptr);
        acDocManager->closeAll();
        host::resetQuit();
    }

    // Runs lines on the command line as a script does; the number of
    // errors reported.
    static int run(std::deque<std::string> lines)
    {
        testutil::ScriptLines source(std::move(lines));
        host::setLineSource(&source);
        const int errors = host::runCommandLoop();
        host::setLineSource(nullptr);
        host::resetQuit();
        return errors;
    }
    // In a child: what the command line showed, on the child's output.
    static void showOutput() { std::fwrite(g_out.data(), 1, g_out.size(), stdout); }

    static void addLines(int n)
    {
        for (int i = 0; i < n; ++i)
            AcDbInternals::modelSpace(*acdbCurDwg())->appendAcDbEntity(
                new AcDbLine(AcGePoint3d(i, 0, 0), AcGePoint3d(i, 100, 0)));
    }
    static std::size_t entityCount(const std::string& path)
    {
        AcDbDatabase db(false);
        if (db.readDwgFile(utf8ToWide(path).c_str()) != Acad::eOk)
            return 0;
        return AcDbInternals::modelSpace(db)->entityIds().size();
    }
    static bool printed(const std::string& text) { return g_out.find(text) != std::string::npos; }

    // The names in a folder, sorted.
    static std::vector<std::string> entries(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The temporary files of a save of that file: ".NAME.tmp-" and six
    // letters or digits.
    static std::vector<std::string> temporaryFilesOf(const std::string& folder, const std::string& name)
    {
        const std::string prefix = "." + name + ".tmp-";
        std::vector<std::string> found;
        for (const std::string& e : entries(folder))
            if (e.rfind(prefix, 0) == 0 && e.size() == prefix.size() + 6)
                found.push_back(e);
        return found;
    }
    static mode_t modeOf(const std::string& path)
    {
        struct stat st {};
        ::lstat(path.c_str(), &st);
        return st.st_mode;
    }

    testutil::TempDir dir;
};

// ---------------------------------------------------------------- reading

TEST_F(HostFileTest, PipesDevicesAndFoldersAreRefusedAtOnceAsDrawings)
{
    const std::string pipe = dir.file("pipe.dxf");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const std::string folder = dir.file("folder.dxf");
    fs::create_directory(folder);
    // Nobody ever writes into the pipe: reading it would wait for ever.
    const testutil::ChildRun child = testutil::runInChild(
        [&] {
            run({"OPEN " + pipe, "OPEN " + folder, "OPEN /dev/zero", "INSERT " + pipe});
            std::wstring error;
            if (acDocManager->openDocument(utf8ToWide(pipe), error))
                std::printf("opened\n");
            showOutput();
            std::printf("\ndocuments: %d\n", acDocManager->documentCount());
            return 0;
        },
        10);
    ASSERT_TRUE(child.ended) << "blocked:\n" << child.output;
    EXPECT_EQ(child.exitStatus, 0) << child.output;
    EXPECT_NE(child.output.find("无法打开图形: " + pipe + ": a named pipe, not a file"), std::string::npos)
        << child.output;
    EXPECT_NE(child.output.find("无法打开图形: " + folder + ": a folder, not a file"), std::string::npos)
        << child.output;
    EXPECT_NE(child.output.find("无法打开图形: /dev/zero: a device, not a file"), std::string::npos) << child.output;
    EXPECT_NE(child.output.find("无法读取图形文件: " + pipe + ": a named pipe, not a file"), std::string::npos)
        << child.output;
    EXPECT_EQ(child.output.find("opened"), std::string::npos) << child.output;
    EXPECT_NE(child.output.find("documents: 1"), std::string::npos) << child.output;
    // The pipe is still a pipe, with nothing taken from it.
    EXPECT_TRUE(S_ISFIFO(modeOf(pipe)));
}

TEST_F(HostFileTest, ADrawingThatShrinksWhileItIsReadIsAnErrorNotACrash)
{
    const std::string path = dir.file("shrinking.dxf");
    addLines(20000);
    const std::string text = acdbCurDwg()->dxfOut();
    testutil::writeFile(path, text);
    // One process empties the file and writes it again, in place, for as
    // long as the other reads it.
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        // Ends with the test, and after a minute in any case.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::alarm(60);
        const int fd = ::open(path.c_str(), O_RDWR);
        for (;;) {
            if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text.data(), text.size(), 0) < 0)
                ::_exit(1);
        }
    }
    const testutil::ChildRun reader = testutil::runInChild(
        [&] {
            int whole = 0, refused = 0;
            for (int i = 0; i < 150; ++i) {
                AcDbDatabase db(false);
                if (db.readDwgFile(utf8ToWide(path).c_str()) == Acad::eOk)
                    ++whole;
                else if (!db.lastError().empty())
                    ++refused;
            }
            std::printf("read %d refused %d\n", whole, refused);
            return 0;
        },
        60);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    ASSERT_TRUE(reader.ended) << reader.output;
    EXPECT_EQ(reader.signal, 0) << "the reader was ended by signal " << reader.signal;
    EXPECT_EQ(reader.exitStatus, 0) << reader.output;
}

TEST_F(HostFileTest, AFileIsReadToItsEndWhateverItsSizeSays)
{
    // Files of /proc say they are empty.
    std::string text;
    const HostFileRead read = hostReadFile("/proc/self/status", text);
    ASSERT_TRUE(read) << read.error;
    EXPECT_NE(text.find("Name:"), std::string::npos);
    EXPECT_NE(text.find("VmRSS:"), std::string::npos);
    const HostFileRead none = hostReadFile(dir.file("none/a.dxf"), text);
    EXPECT_FALSE(none);
    EXPECT_TRUE(none.missing);
    EXPECT_TRUE(text.empty());
}

// ---------------------------------------------------------------- full disks, limits, killed saves

TEST_F(HostFileTest, ASaveOverTheFileSizeLimitFailsAndTheSessionGoesOn)
{
    const std::string path = dir.file("a.dxf"), other = dir.file("b.dxf");
    ASSERT_EQ(run({"SAVEAS " + path}), 0) << g_out;
    const std::string old = testutil::readFile(path);
    const testutil::ChildRun child = testutil::runInChild([&] {
        g_out.clear();
        addLines(3000);
        rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        rlimit small = limit;
        small.rlim_cur = 64 * 1024;
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0) {
            std::printf("cannot set the file-size limit: %s\n", std::strerror(errno));
            return kCannot;
        }
        const int errors = run({"SAVE"});
        ::setrlimit(RLIMIT_FSIZE, &limit);
        run({"SAVEAS " + other});
        showOutput();
        return errors;
    });
    ASSERT_TRUE(child.ended) << child.output;
    ASSERT_EQ(child.signal, 0) << "the save ended the process by signal " << child.signal;
    ASSERT_NE(child.exitStatus, kCannot) << child.output;
    EXPECT_EQ(child.exitStatus, 1) << child.output;
    EXPECT_NE(child.output.find("保存失败: cannot write " + path + ": File too large"), std::string::npos)
        << child.output;
    EXPECT_NE(child.output.find("已保存: " + other), std::string::npos) << child.output;
    EXPECT_EQ(testutil::readFile(path), old);
    EXPECT_EQ(entityCount(other), 3000u);
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"a.dxf", "b.dxf"}));
}

TEST_F(HostFileTest, ASaveOnAFullDiskFailsAndKeepsTheOldFile)
{
    // A small disk of its own: a tmpfs mounted in a mount namespace of the
    // child only.
    const std::string disk = dir.file("disk");
    fs::create_directory(disk);
    const std::string path = disk + "/a.dxf";
    const testutil::ChildRun child = testutil::runInChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("ctrlsch-test", disk.c_str(), "tmpfs", 0, "size=1m") != 0) {
            std::printf("cannot mount a small disk here (%s)", std::strerror(errno));
            return kCannot;
        }
        g_out.clear();
        addLines(10);
        run({"SAVEAS " + path});
        const std::string old = testutil::readFile(path);
        // Fill the disk.
        const int fill = ::open((disk + "/fill").c_str(), O_WRONLY | O_CREAT, 0644);
        const std::string block(64 * 1024, 'x');
        while (::write(fill, block.data(), block.size()) > 0) {
        }
        ::close(fill);
        addLines(10);
        const int errors = run({"SAVE"});
        std::printf("old file %s\n", testutil::readFile(path) == old ? "whole" : "changed");
        std::printf("files:");
        for (const std::string& e : entries(disk))
            std::printf(" %s", e.c_str());
        std::printf("\n");
        // Room again: the session goes on.
        ::unlink((disk + "/fill").c_str());
        run({"SAVE"});
        std::printf("entities %zu\n", entityCount(path));
        showOutput();
        return errors;
    });
    ASSERT_TRUE(child.ended) << child.output;
    if (child.exitStatus == kCannot)
        GTEST_SKIP() << child.output;
    EXPECT_EQ(child.exitStatus, 1) << child.output;
    EXPECT_NE(child.output.find("保存失败: cannot write " + path + ": No space left on device"), std::string::npos)
        << child.output;
    EXPECT_NE(child.output.find("old file whole"), std::string::npos) << child.output;
    EXPECT_NE(child.output.find("files: a.dxf fill\n"), std::string::npos) << child.output;
    EXPECT_NE(child.output.find("entities 20"), std::string::npos) << child.output;
}

TEST_F(HostFileTest, AKilledSavesTemporaryFileGoesAtTheNextOpenAndSave)
{
    const std::string path = dir.file("a.dxf");
    addLines(10);
    ASSERT_EQ(run({"SAVEAS " + path}), 0) << g_out;
    // A save ended by the file-size limit's signal, as any process that
    // does not ignore it is: its temporary file stays.
    const auto killedSave = [&] {
        const testutil::ChildRun child = testutil::runInChild([&] {
            std::signal(SIGXFSZ, SIG_DFL);
            addLines(3000);
            rlimit small {};
            ::getrlimit(RLIMIT_FSIZE, &small);
            small.rlim_cur = 16 * 1024;
            ::setrlimit(RLIMIT_FSIZE, &small);
            run({"SAVE"});
            return 0;
        });
        EXPECT_EQ(child.signal, SIGXFSZ) << child.output;
        return temporaryFilesOf(dir.path(), "a.dxf");
    };
    ASSERT_EQ(killedSave().size(), 1u);
    // What is not a leftover of this drawing stays: a running save's file
    // (it holds a lock on it), another drawing's, names of another pattern.
    const std::string running = dir.file(".a.dxf.tmp-Run123");
    testutil::writeFile(running, "in progress");
    const int held = ::open(running.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const std::vector<std::string> others{".b.dxf.tmp-Abc123", ".a.dxf.tmp-Abc12", "a.dxf.tmp-Abc123"};
    for (const std::string& name : others)
        testutil::writeFile(dir.file(name), "x");

    ASSERT_EQ(run({"OPEN " + path}), 0) << g_out;
    EXPECT_EQ(temporaryFilesOf(dir.path(), "a.dxf"), std::vector<std::string>{".a.dxf.tmp-Run123"});
    for (const std::string& name : others)
        EXPECT_TRUE(fs::exists(dir.file(name))) << name;

    ASSERT_EQ(killedSave().size(), 2u);
    addLines(5);
    ASSERT_EQ(run({"SAVE"}), 0) << g_out;
    EXPECT_EQ(temporaryFilesOf(dir.path(), "a.dxf"), std::vector<std::string>{".a.dxf.tmp-Run123"});
    EXPECT_EQ(entityCount(path), 15u);
    ::close(held);
}

// ---------------------------------------------------------------- links, modes, what is not replaced

TEST_F(HostFileTest, SavingThroughALinkWritesItsTargetAndKeepsItsMode)
{
    const std::string real = dir.file("real.dxf");
    ASSERT_EQ(run({"SAVEAS " + real}), 0) << g_out;
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    fs::create_directory(dir.file("links"));
    fs::create_symlink("../real.dxf", dir.file("links/link.dxf"));
    fs::create_symlink("links/link.dxf", dir.file("chain.dxf"));
    addLines(3);
    ASSERT_EQ(run({"SAVEAS " + dir.file("chain.dxf")}), 0) << g_out;
    EXPECT_TRUE(fs::is_symlink(dir.file("chain.dxf")));
    EXPECT_TRUE(fs::is_symlink(dir.file("links/link.dxf")));
    EXPECT_EQ(fs::read_symlink(dir.file("links/link.dxf")), "../real.dxf");
    EXPECT_EQ(entityCount(real), 3u);
    EXPECT_EQ(modeOf(real) & 07777, 0640u);
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"chain.dxf", "links", "real.dxf"}));

    // A link to a file yet to be made makes it; a new file gets 0666 less
    // the umask.
    fs::create_symlink("made.dxf", dir.file("dangling.dxf"));
    const mode_t umask = ::umask(027);
    const int errors = run({"SAVEAS " + dir.file("dangling.dxf"), "SAVEAS " + dir.file("new.dxf")});
    ::umask(umask);
    ASSERT_EQ(errors, 0) << g_out;
    EXPECT_TRUE(fs::is_symlink(dir.file("dangling.dxf")));
    EXPECT_EQ(entityCount(dir.file("made.dxf")), 3u);
    EXPECT_EQ(modeOf(dir.file("made.dxf")) & 07777, 0640u);
    EXPECT_EQ(modeOf(dir.file("new.dxf")) & 07777, 0640u);

    // A link that leads round in a circle is no file.
    fs::create_symlink("loop2.dxf", dir.file("loop1.dxf"));
    fs::create_symlink("loop1.dxf", dir.file("loop2.dxf"));
    EXPECT_EQ(run({"SAVEAS " + dir.file("loop1.dxf")}), 1);
    EXPECT_TRUE(printed("保存失败: cannot write " + dir.file("loop1.dxf") + ": Too many levels of symbolic links"))
        << g_out;
    EXPECT_TRUE(fs::is_symlink(dir.file("loop1.dxf")));
}

TEST_F(HostFileTest, ATargetThatIsNoRegularFileIsRefused)
{
    const std::string folder = dir.file("folder.dxf"), pipe = dir.file("pipe.dxf"), link = dir.file("link.dxf");
    fs::create_directory(folder);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    fs::create_symlink("pipe.dxf", link);
    EXPECT_EQ(run({"SAVEAS " + folder, "SAVEAS " + pipe, "SAVEAS " + link}), 3);
    EXPECT_TRUE(printed("保存失败: cannot write " + folder + ": a folder, not a file")) << g_out;
    EXPECT_TRUE(printed("保存失败: cannot write " + pipe + ": a named pipe, not a file")) << g_out;
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(S_ISFIFO(modeOf(pipe)));
    EXPECT_TRUE(fs::is_symlink(link));
    // A device node of our own (the null device), where the system lets us
    // make one.
    std::vector<std::string> expected{"folder.dxf", "link.dxf", "pipe.dxf"};
    const std::string device = dir.file("device.dxf");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        expected.insert(expected.begin(), "device.dxf");
        EXPECT_EQ(run({"SAVEAS " + device}), 1);
        EXPECT_TRUE(printed("保存失败: cannot write " + device + ": a device, not a file")) << g_out;
        EXPECT_TRUE(S_ISCHR(modeOf(device)));
    }
    // Nothing left beside them.
    EXPECT_EQ(entries(dir.path()), expected);
}

// Root may write anything, so a drawing without any write bit, or in a
// folder without any, is refused by its bits.
TEST_F(HostFileTest, AReadOnlyDrawingOrFolderIsNotReplaced)
{
    const std::string path = dir.file("a.dxf");
    ASSERT_EQ(run({"SAVEAS " + path}), 0) << g_out;
    const std::string old = testutil::readFile(path);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    addLines(2);
    EXPECT_EQ(run({"SAVE"}), 1);
    EXPECT_TRUE(printed("保存失败: cannot write " + path + ": the file is read-only")) << g_out;
    EXPECT_EQ(testutil::readFile(path), old);
    EXPECT_EQ(modeOf(path) & 07777, 0444u);

    const std::string folder = dir.file("locked");
    fs::create_directory(folder);
    const std::string inFolder = folder + "/b.dxf";
    ASSERT_EQ(run({"SAVEAS " + inFolder}), 0) << g_out;
    const std::string before = testutil::readFile(inFolder);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    addLines(1);
    g_out.clear();
    EXPECT_EQ(run({"SAVE"}), 1);
    ::chmod(folder.c_str(), 0755);
    EXPECT_TRUE(printed("保存失败: cannot write " + inFolder + ": the folder is read-only")) << g_out;
    EXPECT_EQ(testutil::readFile(inFolder), before);
    EXPECT_EQ(entries(folder), std::vector<std::string>{"b.dxf"});
}

// An ordinary user may create files in a folder open to all but not write
// another's drawing there: the rename must not replace it.
TEST_F(HostFileTest, ADrawingTheUserMayNotWriteIsNotReplaced)
{
    const std::string folder = dir.file("shared");
    fs::create_directory(folder);
    const std::string path = folder + "/a.dxf";
    ASSERT_EQ(run({"SAVEAS " + path}), 0) << g_out;
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string old = testutil::readFile(path);
    struct stat st {};
    ::stat(path.c_str(), &st);
    const testutil::ChildRun child = testutil::runInChild([&] {
        const uid_t nobody = 65534;
        if (st.st_uid == nobody || (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0))
            || ::setuid(nobody) != 0 || ::geteuid() != nobody) {
            std::printf("cannot act as another user here (%s)", std::strerror(errno));
            return kCannot;
        }
        addLines(2);
        const int errors = run({"SAVE", "SAVEAS " + folder + "/mine.dxf"});
        showOutput();
        return errors;
    });
    ASSERT_TRUE(child.ended) << child.output;
    if (child.exitStatus == kCannot)
        GTEST_SKIP() << child.output;
    EXPECT_EQ(child.exitStatus, 1) << child.output;
    EXPECT_NE(child.output.find("保存失败: cannot write " + path + ": Permission denied"), std::string::npos)
        << child.output;
    EXPECT_NE(child.output.find("已保存: " + folder + "/mine.dxf"), std::string::npos) << child.output;
    EXPECT_EQ(testutil::readFile(path), old);
    struct stat after {};
    ::stat(path.c_str(), &after);
    EXPECT_EQ(after.st_uid, st.st_uid);
    EXPECT_EQ(entries(folder), (std::vector<std::string>{"a.dxf", "mine.dxf"}));
}

} // namespace
