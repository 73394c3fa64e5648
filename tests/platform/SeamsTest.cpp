#include <gtest/gtest.h>

#include <thread>

#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/SocketsStartup.h"

TEST(MessageBoxSeam, AnswersOkOrYesWithoutHandlerAndRoutesToHandler) {
  auto previous = SetMessageBoxHandler(nullptr);
  EXPECT_EQ(ShowMessageBox(nullptr, "t", "c", MB_OK | MB_ICONSTOP), IDOK);
  EXPECT_EQ(ShowMessageBox(nullptr, "t", "c", MB_YESNO | MB_ICONEXCLAMATION), IDYES);

  std::string seen;
  unsigned seenFlags = 0;
  SetMessageBoxHandler([&](void*, const std::string& text, const std::string& caption, unsigned flags) {
    seen = caption + ":" + text;
    seenFlags = flags;
    return IDNO;
  });
  int answer = 0;
  std::thread worker([&] { answer = ShowMessageBox(nullptr, "Are you sure?", "Kestrel Warning", MB_YESNO); });
  worker.join();
  EXPECT_EQ(answer, IDNO);
  EXPECT_EQ(seen, "Kestrel Warning:Are you sure?");
  EXPECT_EQ(seenFlags, MB_YESNO);
  SetMessageBoxHandler(previous);
}

TEST(FileDialogSeam, CancelsWithoutHandler) {
  auto previous = SetFileDialogHandler(nullptr);
  EXPECT_FALSE(ShowFileDialog({}).has_value());
  SetFileDialogHandler(
      [](const FileDialogRequest& r) { return std::optional<std::string>("/x/" + r.initialFile); });
  FileDialogRequest request;
  request.initialFile = "kestrel.log";
  EXPECT_EQ(ShowFileDialog(request).value(), "/x/kestrel.log");
  SetFileDialogHandler(previous);
}

TEST(SocketsStartup, GrantsExactlyVersionOneOne) {
  WSADATA data;
  EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
  EXPECT_EQ(WSACleanup(), 0);
}
