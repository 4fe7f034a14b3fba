// Streams and folders: the byte layout of what is written and how lines are
// read back, including files written by other programs.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/platform.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Each test works in a fresh folder of its own and returns to where it was.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = CurrentDir();
        char tmpl[] = "/tmp/flingo-files-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        ASSERT_TRUE(ChangeDir(dir_));
    }
    void TearDown() override {
        ChangeDir(home_);
        std::string cmd = "rm -rf '" + dir_ + "'";
        std::system(cmd.c_str());
    }
    std::string home_, dir_;
};

}  // namespace

TEST_F(FilesTest, WriteLineEndsEachLineWithCrLf) {
    Stream s = WriteFile("a.txt");
    ASSERT_TRUE(s);
    EXPECT_TRUE(WriteLine(s, "one"));
    EXPECT_TRUE(WriteLine(s, ""));
    EXPECT_TRUE(WriteString(s, "raw\x01\xFF"));
    EXPECT_TRUE(CloseStream(s));
    EXPECT_EQ(Slurp("a.txt"), std::string("one\r\n\r\nraw\x01\xFF"));
}

TEST_F(FilesTest, ReadLineStopsAtLfZeroByteOrEndAndDropsCrs) {
    Spit("b.txt", std::string("dos\r\nunix\nmid\rdle\nzero\0next\nlast", 32));
    Stream s = ReadFile("b.txt");
    ASSERT_TRUE(s);
    EXPECT_EQ(ReadLine(s), "dos");
    EXPECT_EQ(ReadLine(s), "unix");
    EXPECT_EQ(ReadLine(s), "middle");  // a CR inside the line is dropped too
    EXPECT_EQ(ReadLine(s), "zero");
    EXPECT_EQ(ReadLine(s), "next");
    EXPECT_FALSE(Eof(s));
    EXPECT_EQ(ReadLine(s), "last");
    EXPECT_TRUE(Eof(s));
    // Past the end: empty lines, Eof stays true.
    EXPECT_EQ(ReadLine(s), "");
    EXPECT_EQ(ReadLine(s), "");
    EXPECT_TRUE(Eof(s));
    EXPECT_TRUE(CloseStream(s));
}

TEST_F(FilesTest, EofIsTrueRightAfterAFinalLineFeed) {
    Spit("c.txt", "x\r\n");
    Stream s = ReadFile("c.txt");
    EXPECT_FALSE(Eof(s));
    EXPECT_EQ(ReadLine(s), "x");
    EXPECT_TRUE(Eof(s));
}

TEST_F(FilesTest, WrittenLinesReadBackWithLatin1Bytes) {
    Stream w = WriteFile("d.txt");
    WriteLine(w, "caf\xE9 \xFF");
    WriteLine(w, "second");
    CloseStream(w);
    Stream r = ReadFile("d.txt");
    EXPECT_EQ(ReadLine(r), "caf\xE9 \xFF");
    EXPECT_EQ(ReadLine(r), "second");
    EXPECT_TRUE(Eof(r));
}

TEST_F(FilesTest, WriteFileTruncatesAndDroppedStreamsStillFlush) {
    Spit("e.txt", "old contents that are long");
    {
        Stream s = WriteFile("e.txt");
        WriteString(s, "new");
    }  // dropped without CloseStream
    EXPECT_EQ(Slurp("e.txt"), "new");
    { Stream s = WriteFile("empty.dat"); }
    EXPECT_EQ(FileType("empty.dat"), 1);
    EXPECT_EQ(Slurp("empty.dat"), "");
}

TEST_F(FilesTest, NoneAndWrongDirectionStreamsDoNothing) {
    Stream none;
    EXPECT_EQ(ReadLine(none), "");
    EXPECT_FALSE(WriteLine(none, "x"));
    EXPECT_TRUE(Eof(none));  // a read loop over none ends at once
    EXPECT_FALSE(CloseStream(none));
    EXPECT_FALSE(ReadFile("missing.txt"));

    Stream w = WriteFile("f.txt");
    EXPECT_EQ(ReadLine(w), "");
    Spit("g.txt", "data");
    Stream r = ReadFile("g.txt");
    EXPECT_FALSE(WriteLine(r, "x"));
    EXPECT_TRUE(CloseStream(r));
    EXPECT_EQ(Slurp("g.txt"), "data");
    EXPECT_FALSE(CloseStream(r));  // already closed
    EXPECT_EQ(ReadLine(r), "");
}

TEST_F(FilesTest, CloseStreamReportsAFailedWrite) {
    // /dev/full accepts the open and fails every write with "no space".
    Stream s = WriteFile("/dev/full");
    ASSERT_TRUE(s);
    WriteLine(s, "this cannot be stored");
    EXPECT_FALSE(CloseStream(s));
}

TEST_F(FilesTest, FoldersAreNotOpenedAsFiles) {
    ASSERT_TRUE(CreateDir("sub"));
    EXPECT_FALSE(ReadFile("sub"));
    EXPECT_FALSE(WriteFile("sub"));
    EXPECT_FALSE(WriteFile(""));
}

TEST_F(FilesTest, FileTypeChangeDirAndCurrentDir) {
    EXPECT_EQ(FileType("nothing"), 0);
    EXPECT_EQ(FileType(""), 0);
    Spit("file", "x");
    EXPECT_EQ(FileType("file"), 1);
    EXPECT_TRUE(CreateDir("Files"));
    EXPECT_TRUE(CreateDir("Files"));  // already a folder: fine
    EXPECT_FALSE(CreateDir("file"));  // a file is in the way
    EXPECT_EQ(FileType("Files"), 2);
    EXPECT_TRUE(CreateDir("Files/Common"));
    EXPECT_TRUE(ChangeDir("Files/Common"));
    EXPECT_EQ(CurrentDir(), dir_ + "/Files/Common");
    EXPECT_TRUE(ChangeDir("../"));
    EXPECT_EQ(CurrentDir(), dir_ + "/Files");
    EXPECT_FALSE(ChangeDir("no-such-folder"));
    EXPECT_EQ(CurrentDir(), dir_ + "/Files");
    EXPECT_FALSE(ChangeDir(""));
}

TEST_F(FilesTest, DeleteFileRemovesFilesOnly) {
    Spit("gone", "x");
    EXPECT_TRUE(DeleteFile("gone"));
    EXPECT_EQ(FileType("gone"), 0);
    EXPECT_FALSE(DeleteFile("gone"));
    CreateDir("folder");
    EXPECT_FALSE(DeleteFile("folder"));
    EXPECT_EQ(FileType("folder"), 2);
}

TEST_F(FilesTest, RenameFileReplacesTheTarget) {
    Spit("Setup.ini", "old");
    Spit("Setup.ini.tmp", "new");
    EXPECT_TRUE(RenameFile("Setup.ini.tmp", "Setup.ini"));
    EXPECT_EQ(Slurp("Setup.ini"), "new");
    EXPECT_EQ(FileType("Setup.ini.tmp"), 0);
    EXPECT_FALSE(RenameFile("Setup.ini.tmp", "Setup.ini"));  // source gone
    EXPECT_EQ(Slurp("Setup.ini"), "new");
}
