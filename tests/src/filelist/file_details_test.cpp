#include "filelist/file_details.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_support.h"

namespace morvelle {
namespace {

using testing::LocalTime;
using testing::Scratch;

class FileDetailsTest : public ::testing::Test {
 protected:
  Scratch scratch;
  FileIcons icons{QColor(Qt::white)};
  ImageList images{icons.FolderPicture()};

  TargetEntry Fill(const QString& path) {
    TargetEntry entry;
    FillFileDetails(entry, path, images, icons);
    return entry;
  }
};

TEST(FileDetailsFormat, SizeUsesTheLocaleGroupingAndShowsNoZero) {
  const QLocale japanese(QLocale::Japanese, QLocale::Japan);
  const std::pair<qint64, const char*> cases[] = {
      {0, ""},
      {1, "1"},
      {999, "999"},
      {1000, "1,000"},
      {1234567, "1,234,567"},
      {2147483647, "2,147,483,647"},
      {2147483648LL, "2,147,483,648"},  // from 2 GiB up: the true size, not the low 32 bits
      {5368709120LL, "5,368,709,120"},
  };
  for (const auto& [size, text] : cases) {
    EXPECT_EQ(FormatSizeText(size, japanese), QString::fromUtf8(text)) << size;
  }
  // The C locale leaves out separators unless asked; the list always groups.
  EXPECT_EQ(FormatSizeText(1234567, QLocale::c()), QStringLiteral("1,234,567"));
  EXPECT_EQ(FormatSizeText(1234567, QLocale(QLocale::German)), QStringLiteral("1.234.567"));
}

TEST(FileDetailsFormat, DateIsLocalTimeWithoutPadding) {
  struct Case {
    int year, month, day, hour, minute, second;
    const char* text;
  };
  const Case cases[] = {
      {2001, 3, 3, 9, 5, 7, "2001/3/3 9:5:7"},
      {2001, 1, 1, 0, 0, 0, "2001/1/1 0:0:0"},
      {2001, 12, 12, 23, 45, 30, "2001/12/12 23:45:30"},
      {1999, 12, 31, 23, 59, 59, "1999/12/31 23:59:59"},
      {2038, 1, 19, 12, 14, 8, "2038/1/19 12:14:8"},  // past the signed 32-bit second count
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatModifiedText(LocalTime(c.year, c.month, c.day, c.hour, c.minute, c.second)),
              QString::fromUtf8(c.text));
  }
  // The tests run in Tokyo (UTC+9): midnight UTC on 1 January 2001 is 9 in the morning.
  EXPECT_EQ(FormatModifiedText(978307200), QStringLiteral("2001/1/1 9:0:0"));
}

TEST_F(FileDetailsTest, FileGetsSizeDateAndItsOwnImage) {
  const QString path =
      scratch.File(QStringLiteral("big.txt"), 1234567, LocalTime(2001, 3, 3, 9, 5, 7));
  const TargetEntry entry = Fill(path);
  EXPECT_EQ(entry.SizeText, QStringLiteral("1,234,567"));
  EXPECT_EQ(entry.ModifiedText, QStringLiteral("2001/3/3 9:5:7"));
  EXPECT_EQ(entry.IconIndex, 2);
  EXPECT_EQ(images.Count(), 2);
  EXPECT_FALSE(images.At(2).isNull());
}

TEST_F(FileDetailsTest, EmptyFileShowsNoSizeButDateAndIcon) {
  const TargetEntry entry =
      Fill(scratch.File(QStringLiteral("empty.txt"), 0, LocalTime(2001, 1, 1, 0, 0, 0)));
  EXPECT_EQ(entry.SizeText, QString());
  EXPECT_EQ(entry.ModifiedText, QStringLiteral("2001/1/1 0:0:0"));
  EXPECT_EQ(entry.IconIndex, 2);
}

TEST_F(FileDetailsTest, SparseFilesFromTwoGibibytesShowTheirTrueSize) {
  const qint64 sizes[] = {2147483648LL, 4294967296LL + 999, 5368709120LL};
  const char* texts[] = {"2,147,483,648", "4,294,968,295", "5,368,709,120"};
  for (size_t i = 0; i < std::size(sizes); ++i) {
    const QString path = scratch.File(QStringLiteral("sparse%1.bin").arg(i), sizes[i]);
    EXPECT_EQ(Fill(path).SizeText, QString::fromUtf8(texts[i]));
  }
}

TEST_F(FileDetailsTest, UnreadableFileKeepsEmptyColumnsAndAddsNoImage) {
  const QString paths[] = {scratch.DanglingLink(QStringLiteral("link.txt")),
                           scratch.At(QStringLiteral("never-created.txt"))};
  for (const QString& path : paths) {
    const TargetEntry entry = Fill(path);
    EXPECT_EQ(entry.SizeText, QString());
    EXPECT_EQ(entry.ModifiedText, QString());
    EXPECT_EQ(entry.IconIndex, 0);
  }
  EXPECT_EQ(images.Count(), 1);
}

TEST_F(FileDetailsTest, DroppedFifoDoesNotBlockTheWindow) {
  const QString path = scratch.At(QStringLiteral("pipe"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
  const TargetEntry entry = Fill(path);  // would hang in a blocking open
  EXPECT_FALSE(entry.ModifiedText.isEmpty());
  EXPECT_EQ(entry.IconIndex, 2);
}

TEST_F(FileDetailsTest, EqualTypesShareOnePictureUnderSeparateIndexes) {
  const int a = Fill(scratch.File(QStringLiteral("a.txt"), 1)).IconIndex;
  const int b = Fill(scratch.File(QStringLiteral("b.TXT"), 1)).IconIndex;
  const int png = Fill(scratch.File(QStringLiteral("c.png"), 1)).IconIndex;
  EXPECT_EQ(std::vector<int>({a, b, png}), std::vector<int>({2, 3, 4}));
  EXPECT_EQ(images.At(a).cacheKey(), images.At(b).cacheKey());
  EXPECT_NE(images.At(a).cacheKey(), images.At(png).cacheKey());
  EXPECT_EQ(images.At(a).size(), QSize(16, 16));
}

TEST_F(FileDetailsTest, IconComesFromTheNameNotTheContents) {
  // PNG bytes under a .txt name: a lookup by contents would pick the image picture.
  const QString path = scratch.File(QStringLiteral("looks-like.txt"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray::fromHex("89504e470d0a1a0a0000000d49484452"));
  file.close();
  const int text = Fill(scratch.File(QStringLiteral("plain.txt"), 1)).IconIndex;
  const int disguised = Fill(path).IconIndex;
  EXPECT_EQ(images.At(text).cacheKey(), images.At(disguised).cacheKey());
}

TEST(FileIconsDrawn, PicturesAreSixteenSquareOnTheBackground) {
  for (const QColor background : {QColor(10, 20, 30), QColor(Qt::transparent)}) {
    for (const QPixmap& picture :
         {FileIcons::DrawnFolder(background), FileIcons::DrawnDocument(background)}) {
      const QImage image = picture.toImage();
      EXPECT_EQ(image.size(), QSize(16, 16));
      EXPECT_EQ(image.pixelColor(0, 0), background);  // the corner stays background
      EXPECT_NE(image.pixelColor(8, 8), background);
    }
  }
}

}  // namespace
}  // namespace morvelle
