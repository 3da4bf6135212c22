// What Windows reads from the programs themselves: the version shown in
// the file's properties and the manifest the loader applies.
#include "common/unique_handle.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qvntest;

namespace {

struct VersionInfo {
  std::vector<char> data;
  std::string text(const std::string &name) {
    char *value = nullptr;
    UINT length = 0;
    std::string path = "\\StringFileInfo\\040904B0\\" + name;
    return VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void **>(&value), &length) &&
                   length
               ? std::string(value)
               : "(no " + name + ")";
  }
};

TEST(ProgramResources, VersionAndManifestOfBothPrograms) {
  for (auto [program, description] : {std::pair<const char *, const char *>{
                                          "Qvn.exe", "Quorvane scheduler service and installer"},
                                      {"srvany.exe", "Quorvane service host"}}) {
    SCOPED_TRACE(program);
    const std::string path = programPath(program);
    VersionInfo info;
    info.data.resize(GetFileVersionInfoSizeA(path.c_str(), nullptr));
    ASSERT_FALSE(info.data.empty());
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, DWORD(info.data.size()), info.data.data()));
    EXPECT_EQ(info.text("ProductName"), "Quorvane");
    EXPECT_EQ(info.text("ProductVersion"), "0.2");
    EXPECT_EQ(info.text("FileVersion"), "0.2");
    EXPECT_EQ(info.text("FileDescription"), description);
    EXPECT_EQ(info.text("OriginalFilename"), program);
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD(MAKELONG(2, 0)));
    EXPECT_EQ(fixed->dwProductVersionMS, DWORD(MAKELONG(2, 0)));

    UniqueModule module(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    HRSRC resource = FindResourceA(module.get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_TRUE(resource);
    std::string manifest(
        static_cast<const char *>(LockResource(LoadResource(module.get(), resource))),
        SizeofResource(module.get(), resource));
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
    // Windows 7, 8, 8.1, and 10 and 11.
    for (const char *os :
         {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
          "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
      EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"{") + os + "}\"/>"), std::string::npos)
          << os;
  }
}

} // namespace
