// Tests of NSBundle and the Core Foundation bundle and URL calls: the bundle found from the
// program's path, its Info.plist, and the path handed back through a URL.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/foundation/bundle.h"
#include "platform/foundation/core_foundation.h"
#include "platform/foundation/string.h"
#include "platform/objc/objc.h"

namespace {

std::string Utf8(id s) {
  return foundation::StringUtf8(s);
}

TEST(NSBundle, FoundFromTheProgramPath) {
  foundation::BundleLayout app =
      foundation::LayoutForProgram("/opt/Mindel.app/Contents/MacOS/Mindel");
  EXPECT_EQ(app.bundle_path, "/opt/Mindel.app");
  EXPECT_EQ(app.resource_path, "/opt/Mindel.app/Contents/Resources");
  EXPECT_EQ(app.info_path, "/opt/Mindel.app/Contents/Info.plist");
  EXPECT_EQ(app.executable_path, "/opt/Mindel.app/Contents/MacOS/Mindel");
  foundation::BundleLayout plain = foundation::LayoutForProgram("/usr/local/bin/mindel");
  EXPECT_EQ(plain.bundle_path, "/usr/local/bin") << "outside a .app, the program's folder";
  EXPECT_EQ(plain.resource_path, "/usr/local/bin");
  foundation::BundleLayout near_miss = foundation::LayoutForProgram("/x/Tools.app/bin/sub/tool");
  EXPECT_EQ(near_miss.bundle_path, "/x/Tools.app/bin/sub") << "only X.app/Contents/MacOS counts";
}

TEST(NSBundle, HelpersGoLastOnPathAndOnlyOnce) {
  const std::string helpers = "/opt/My Apps/Mindel.app/Contents/Helpers";
  EXPECT_EQ(foundation::PathWithFolderAppended("/usr/bin:/bin", helpers),
            "/usr/bin:/bin:" + helpers)
      << "after what is there, so the system's programs win";
  EXPECT_EQ(foundation::PathWithFolderAppended(nullptr, helpers), helpers) << "PATH unset";
  EXPECT_EQ(foundation::PathWithFolderAppended("", helpers), helpers) << "PATH empty";
  EXPECT_EQ(foundation::PathWithFolderAppended("/usr/bin:", helpers), "/usr/bin::" + helpers)
      << "an empty element (the current folder) is kept as it was";
  for (const std::string& path :
       {helpers, "/bin:" + helpers, helpers + ":/bin", "/a:" + helpers + ":/b"}) {
    EXPECT_EQ(foundation::PathWithFolderAppended(path.c_str(), helpers), path)
        << "already there: unchanged";
  }
}

TEST(NSBundle, ReadsInfoPlistAndAnswersItsPaths) {
  objc::AutoreleasePool pool;
  char pattern[] = "/tmp/mindel-bundle-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string root = pattern;
  std::string app = root + "/Mindel.app";
  ASSERT_EQ(std::system(
                ("mkdir -p '" + app + "/Contents/MacOS' '" + app + "/Contents/Resources'").c_str()),
            0);
  std::ofstream(app + "/Contents/Info.plist")
      << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
         "<string>com.quorv.Mindel</string><key>CFBundleShortVersionString</key>"
         "<string>1.06</string></dict></plist>";
  std::ofstream(app + "/Contents/Resources/app_icon.png") << "png";

  objc::Ref bundle(foundation::NewBundleForProgram(app + "/Contents/MacOS/Mindel"));
  ASSERT_TRUE(bundle);
  EXPECT_EQ(Utf8(objc::Send(bundle, "bundleIdentifier")), "com.quorv.Mindel");
  EXPECT_EQ(Utf8(objc::Send(bundle, "objectForInfoDictionaryKey:",
                            foundation::MakeString(u"CFBundleShortVersionString"))),
            "1.06");
  EXPECT_EQ(Utf8(objc::Send(bundle, "bundlePath")), app);
  EXPECT_EQ(Utf8(objc::Send(bundle, "resourcePath")), app + "/Contents/Resources");
  EXPECT_EQ(Utf8(objc::Send(bundle, "pathForResource:ofType:", foundation::MakeString(u"app_icon"),
                            foundation::MakeString(u"png"))),
            app + "/Contents/Resources/app_icon.png");
  EXPECT_EQ(objc::Send(bundle, "pathForResource:ofType:", foundation::MakeString(u"missing"),
                       foundation::MakeString(u"png")),
            nullptr);

  std::ofstream(app + "/Contents/Info.plist") << "<plist><dict><key>CFBundle";  // damaged
  objc::Ref damaged(foundation::NewBundleForProgram(app + "/Contents/MacOS/Mindel"));
  EXPECT_EQ(objc::Send(damaged, "bundleIdentifier"), nullptr);
  EXPECT_NE(objc::Send(damaged, "infoDictionary"), nullptr) << "an empty dictionary";
  EXPECT_EQ(std::system(("rm -rf '" + root + "'").c_str()), 0);
}

TEST(NSBundle, MainBundleThroughCoreFoundation) {
  objc::AutoreleasePool pool;
  std::string program = foundation::ProgramPath();
  ASSERT_FALSE(program.empty());
  std::string folder = program.substr(0, program.find_last_of('/'));
  CFBundleRef bundle = CFBundleGetMainBundle();
  ASSERT_NE(bundle, nullptr);
  EXPECT_EQ(bundle, CFBundleGetMainBundle()) << "one main bundle";
  id object = reinterpret_cast<id>(bundle);
  EXPECT_EQ(Utf8(objc::Send(object, "executablePath")), program);
  EXPECT_EQ(Utf8(objc::Send(object, "bundlePath")), folder);

  CFURLRef url = CFBundleCopyBundleURL(bundle);
  ASSERT_NE(url, nullptr);
  UInt8 path[4096];
  ASSERT_TRUE(CFURLGetFileSystemRepresentation(url, true, path, sizeof(path)));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(path)), folder);
  EXPECT_FALSE(CFURLGetFileSystemRepresentation(url, true, path, 4)) << "too small a buffer";
  CFStringRef text = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  EXPECT_EQ(Utf8(reinterpret_cast<id>(const_cast<__CFString*>(text))), folder);
  CFRelease(text);
  CFRelease(url);
  EXPECT_EQ(CFBundleCopyBundleURL(nullptr), nullptr);
}

}  // namespace
