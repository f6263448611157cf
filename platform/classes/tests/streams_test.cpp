#include "platform/classes/streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/classes/resources.h"
#include "platform/rtl/exceptions.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tw_streams_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

// The same checks for every stream kind that can be written.
void ExerciseEnds(TStream& s) {
  s.WriteBuffer("hello", 5);
  EXPECT_EQ(s.Size(), 5);
  EXPECT_EQ(s.Position(), 5);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 3), 0);  // at the end
  s.SetPosition(3);
  EXPECT_EQ(s.Read(buf, 8), 2);  // a short read stops at the end
  EXPECT_EQ(std::string(buf, 2), "lo");
  s.SetPosition(1);
  EXPECT_THROW(s.ReadBuffer(buf, 5), EReadError);
  s.Seek(-2, soFromEnd);
  s.ReadBuffer(buf, 2);
  EXPECT_EQ(std::string(buf, 2), "lo");
  s.SetPosition(7);  // past the end: reading gives nothing, writing fills the gap with zeros
  EXPECT_EQ(s.Read(buf, 1), 0);
  s.WriteBuffer("!", 1);
  EXPECT_EQ(s.Size(), 8);
  s.SetPosition(5);
  s.ReadBuffer(buf, 3);
  EXPECT_EQ(std::string(buf, 3), std::string("\0\0!", 3));
  EXPECT_THROW(s.Seek(-1, soFromBeginning), EStreamError);
  s.SetSize(2);
  EXPECT_EQ(s.Size(), 2);
  EXPECT_LE(s.Position(), 8);
}

TEST_F(TempFolder, EveryWritableStreamBehavesAtAndPastItsEnd) {
  TMemoryStream mem;
  ExerciseEnds(mem);
  TStringStream str;
  ExerciseEnds(str);
  TFileStream file(Path("ends.bin"), fmCreate);
  ExerciseEnds(file);
}

TEST_F(TempFolder, FileStreamModesAndErrors) {
  {
    TFileStream f(Path("a.bin"), fmCreate);
    f.WriteBuffer("abc", 3);
  }
  {
    TFileStream f(Path("a.bin"), fmOpenRead | fmShareDenyNone);
    char b[3];
    f.ReadBuffer(b, 3);
    EXPECT_EQ(std::string(b, 3), "abc");
    EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
  }
  {
    TFileStream f(Path("a.bin"), fmOpenReadWrite);
    f.Seek(0, soFromEnd);
    f.WriteBuffer("d", 1);
  }
  // A name in another case and with backslashes finds the file.
  TFileStream f(Path("A.BIN"), fmOpenRead);
  EXPECT_EQ(f.Size(), 4);
  try {
    TFileStream missing(Path("none.bin"), fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file " + Path("none.bin"));
  }
  EXPECT_THROW(TFileStream(Path("no/such/folder.bin"), fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(dir_.string(), fmOpenRead), EFOpenError);  // a folder is not a file
}

TEST_F(TempFolder, MemoryStreamFilesAndCopy) {
  TMemoryStream m;
  m.WriteBuffer(std::string_view("0123456789"));
  m.SaveToFile(Path("m.bin"));
  TMemoryStream back;
  back.LoadFromFile(Path("m.bin"));
  EXPECT_EQ(back.Bytes(), "0123456789");
  EXPECT_EQ(back.Position(), 0);

  TStringStream target;
  m.SetPosition(4);
  EXPECT_EQ(target.CopyFrom(m, 3), 3);
  EXPECT_EQ(target.DataString(), "456");
  EXPECT_EQ(target.CopyFrom(m, 0), 10);  // 0: all of it from the start
  EXPECT_EQ(target.DataString(), "4560123456789");
  m.SetPosition(8);
  EXPECT_THROW(target.CopyFrom(m, 5), EReadError);
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Bytes(), "");
}

TEST(ResourceStreamTest, ReadsResourceAndRefusesWrites) {
  RegisterResource("TestBlob", "abc");
  TResourceStream s("TESTBLOB");
  char b[4] = {};
  EXPECT_EQ(s.Read(b, 4), 3);
  EXPECT_EQ(std::string(b), "abc");
  EXPECT_THROW(s.Write("x", 1), EStreamError);
  UnregisterResource("TestBlob");
  char c;
  s.SetPosition(0);
  EXPECT_EQ(s.Read(&c, 1), 1);  // the stream keeps its own copy
  try {
    TResourceStream missing(0, "NoSuchResource", "RCDATA");
    FAIL();
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message(), "Resource NoSuchResource not found");
  }
}

}  // namespace
}  // namespace tw
