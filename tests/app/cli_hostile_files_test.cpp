// Files that are not what they claim to be, handed to the program or standing where it keeps its
// own: each gets a clear message and an exit status, at once, and nothing is read from a device
// or waited for on a FIFO.

#include "platform/reg_format.h"

#include "support/temp_dir.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct ProgramRun {
    bool finished = false;
    int exitCode = -1;
    std::string err;
};

// A program that waits on a FIFO is ended after a while; one that reads a device without end
// is ended by the sanitizer's memory limit long before the machine runs short.
ProgramRun runProgram(const fs::path& config, const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KAVRIN32_CONFIG_DIR"), QString::fromStdString(config.string()));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) +
                                                   QStringLiteral(":hard_rss_limit_mb=1024"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(KAVRIN32_PROGRAM), args);
    ProgramRun run;
    run.finished = process.waitForFinished(20000);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.err = process.readAllStandardError().toStdString();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

QString q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

class HostileFiles : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(config);
        ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
        fs::create_symlink("/dev/zero", dir / "zero-link");
        fs::create_symlink(dir / "fifo", dir / "fifo-link");
        writeFile(goodExport, "REGEDIT4\r\n\r\n[" + std::string(kRegistryRoot) +
                                  "\\Advanced]\r\n\"Host Name\"=\"imported\"\r\n");
    }

    TempDir dir;
    fs::path config = dir / "config";
    fs::path goodExport = dir / "good.reg";
};

TEST_F(HostileFiles, ImportRefusesWhatIsNotARegularFileOfSettingsSize) {
    fs::create_directories(dir / "folder");
    writeFile(dir / "big.reg", "");
    fs::resize_file(dir / "big.reg", kMaxRegFileBytes + 1);  // sparse: costs no disk
    const struct {
        fs::path file;
        const char* why;
    } cases[] = {
        {dir / "folder", "is not a regular file"},    {"/dev/zero", "is not a regular file"},
        {dir / "fifo", "is not a regular file"},      {dir / "zero-link", "is not a regular file"},
        {dir / "fifo-link", "is not a regular file"}, {dir / "big.reg", "is larger than 256 MiB"},
        {dir / "missing.reg", "does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.string());
        const ProgramRun run = runProgram(config, {QStringLiteral("--import-settings"), q(c.file)});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("\"" + c.file.string() + "\" " + c.why + ". Nothing was imported."),
                  std::string::npos)
            << run.err;
        EXPECT_FALSE(fs::exists(config / "settings.reg"));
    }
}

// A settings file that is a FIFO or leads to a device is reported and left as it is; no command
// waits on it or reads it.
TEST_F(HostileFiles, ASettingsFileThatIsNoRegularFileHoldsUpNoCommand) {
    writeFile(dir / "p.kv32",
              "[Kavrin/32]\r\nSubject=S\r\nFrom Name=N\r\n[Newsgroups]\r\n0=alt.test\r\n");
    for (const char* standIn : {"fifo", "zero-link", "fifo-link"}) {
        SCOPED_TRACE(standIn);
        const fs::path settings = config / "settings.reg";
        fs::remove(settings);
        fs::create_symlink(dir / standIn, settings);
        const std::string told =
            "The settings file \"" + settings.string() + "\" is not a regular file.";

        ProgramRun run = runProgram(config, {QStringLiteral("--import-settings"), q(goodExport)});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find(told), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("Nothing was imported."), std::string::npos) << run.err;

        run = runProgram(config, {QStringLiteral("--export"),
                                  q(dir / (std::string("out-") + standIn)), q(dir / "p.kv32")});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find(told), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_symlink(settings));
    }
}

}  // namespace
