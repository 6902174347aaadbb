#include "platform/win32_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class Win32FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "win32_file_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    handlesBefore_ = Win32FileTestHooks::OpenFileHandleCount();
  }

  void TearDown() override {
    EXPECT_EQ(Win32FileTestHooks::OpenFileHandleCount(), handlesBefore_);
    fs::remove_all(dir_);
  }

  std::string WriteFile(const std::string& name, const std::string& bytes) {
    fs::path path = dir_ / fs::u8path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  HANDLE Open(const std::u16string& name) {
    return CreateFile2(name.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, nullptr);
  }

  std::u16string Wide(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

  fs::path dir_;
  std::size_t handlesBefore_ = 0;
};

TEST_F(Win32FileTest, ReadsWholeFileSizeAndEnd) {
  std::string content(100000, 'x');
  content[0] = 'A';
  content.back() = 'Z';
  HANDLE file = Open(Wide(WriteFile("data.bin", content)));
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Win32FileTestHooks::OpenFileHandleCount(), handlesBefore_ + 1);

  LARGE_INTEGER size{};
  ASSERT_TRUE(GetFileSizeEx(file, &size));
  EXPECT_EQ(size.QuadPart, 100000);

  // Asking for more than the file holds reports the count actually read.
  std::string buffer(200000, '\0');
  DWORD read = 12345;
  ASSERT_TRUE(ReadFile(file, buffer.data(), 200000, &read, nullptr));
  EXPECT_EQ(read, 100000u);
  EXPECT_EQ(buffer.substr(0, read), content);

  // At the end of the file a read succeeds with zero bytes.
  ASSERT_TRUE(ReadFile(file, buffer.data(), 10, &read, nullptr));
  EXPECT_EQ(read, 0u);
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(Win32FileTest, OpenFailuresReportWin32Errors) {
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(Open(Wide((dir_ / "missing.xml").string())), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  fs::create_directory(dir_ / "folder");
  EXPECT_EQ(Open(Wide((dir_ / "folder").string())), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  EXPECT_EQ(Open(u""), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  std::u16string loneSurrogate = Wide(dir_.string() + "/x") + u'\xD800';
  EXPECT_EQ(Open(loneSurrogate), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);

  // Only reading an existing file is supported.
  std::u16string name = Wide(WriteFile("present.txt", "abc"));
  EXPECT_EQ(CreateFile2(name.c_str(), 0x40000000u, 0, OPEN_EXISTING, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(CreateFile2(name.c_str(), GENERIC_READ, 0, 2, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST_F(Win32FileTest, NamesAreUtf16AndRelativeToCurrentDirectory) {
  WriteFile(
      "gr\xC3\xB6\xC3\x9F"
      "e\xE2\x9C\x93.txt",
      "umlaut");
  WriteFile("plain.txt", "plain");
  fs::path previous = fs::current_path();
  fs::current_path(dir_);
  HANDLE nonAscii = Open(u"gr\u00F6\u00DFe\u2713.txt");
  HANDLE relative = Open(u"..\\" + Wide(dir_.filename().string()) + u"\\plain.txt");
  fs::current_path(previous);

  ASSERT_NE(nonAscii, INVALID_HANDLE_VALUE);
  ASSERT_NE(relative, INVALID_HANDLE_VALUE);
  EXPECT_NE(nonAscii, relative);
  char buffer[16] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(nonAscii, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "umlaut");
  ASSERT_TRUE(ReadFile(relative, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "plain");
  EXPECT_TRUE(CloseHandle(nonAscii));
  EXPECT_TRUE(CloseHandle(relative));
}

// Opening a FIFO with no writer would wait for one forever: it is refused
// at once, as are devices; the descriptor is not kept.
TEST_F(Win32FileTest, OnlyRegularFilesOpenAndTheOpenNeverWaits) {
  fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& name : {fifo.string(), std::string("/dev/null")}) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(Open(Wide(name)), INVALID_HANDLE_VALUE) << name;
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << name;
  }
}

TEST_F(Win32FileTest, ReadLimitHookShortensReads) {
  HANDLE file = Open(Wide(WriteFile("short.txt", "0123456789")));
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char buffer[10] = {};
  DWORD read = 0;
  {
    Win32FileTestHooks::ScopedReadFileLimit limit(4);
    ASSERT_TRUE(ReadFile(file, buffer, 10, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "0123");
  }
  ASSERT_TRUE(ReadFile(file, buffer, 10, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "456789");
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(Win32FileTest, HandlesAreCheckedAndNeverReused) {
  std::u16string name = Wide(WriteFile("a.txt", "a"));
  HANDLE first = Open(name);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_FALSE(CloseHandle(first));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  HANDLE second = Open(name);
  EXPECT_NE(second, first);
  char byte = 0;
  DWORD read = 7;
  LARGE_INTEGER size{};
  EXPECT_FALSE(ReadFile(first, &byte, 1, &read, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(read, 0u);
  EXPECT_FALSE(GetFileSizeEx(INVALID_HANDLE_VALUE, &size));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(ReadFile(second, &byte, 1, &read, &size));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_TRUE(CloseHandle(second));
}

}  // namespace
