// The kept panes' file: round trips of any text, and everything that is not such a file.
#include "PaneStore.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(PaneStore, RoundTripsAnyText) {
    const TPaneState cases[] = {
        {},
        {QString::fromUtf8("Take care of it.\nGo."), QString::fromUtf8("小心。\n"), 0, 16, {}, {}},
        // A character GBK cannot hold, CR LF, a NUL, a line that looks like the file's head.
        {QString::fromUtf8("a😀b\r\nc") + QChar(0) + QStringLiteral("d"),
         QStringLiteral("target 3\nquillbridge-panes 1\n"),
         7,
         0,
         {},
         {}},
        {QString(100000, QChar(0x4E2D)), QString(), 300000, 2, {}, {}},
    };
    for (const TPaneState& state : cases) {
        const QByteArray bytes = PaneStateToBytes(state);
        const auto back = PaneStateFromBytes(bytes);
        ASSERT_TRUE(back) << bytes.left(60).toStdString();
        EXPECT_EQ(*back, state);
    }
    EXPECT_EQ(PaneStateToBytes({QStringLiteral("ab"), QString::fromUtf8("中"), 1, 1, {}, {}}),
              QByteArray("quillbridge-panes 1\nselection 1 1\nsource 2\nab\ntarget 3\n\xE4\xB8\xAD\n"));
}

// The open document's path rides along; a file from before documents (none) still reads.
TEST(PaneStore, TheOpenDocumentIsKeptBesideThePanes) {
    TPaneState state{QStringLiteral("Hello."), QString::fromUtf8("你好。"), 0, 6, {}, {}};
    const QByteArray older(
        "quillbridge-panes 1\nselection 0 6\nsource 6\nHello.\ntarget 9\n\xE4\xBD\xA0\xE5\xA5\xBD\xE3\x80\x82\n");
    EXPECT_EQ(PaneStateToBytes(state), older);
    ASSERT_EQ(PaneStateFromBytes(older), state) << "a file without a document reads as none";
    state.document = QString::fromUtf8("/home/ann/文档/guide.md");
    const QByteArray bytes = PaneStateToBytes(state);
    ASSERT_EQ(PaneStateFromBytes(bytes), state);
    EXPECT_FALSE(PaneStateFromBytes(bytes + "document 1\nx\n")) << "a second document";
    // The segments' statuses follow the document; a file of the version before has none.
    state.segments = QStringLiteral("tuf");
    const QByteArray withSegments = PaneStateToBytes(state);
    EXPECT_EQ(withSegments, bytes + "segments 3\ntuf\n");
    ASSERT_EQ(PaneStateFromBytes(withSegments), state);
    EXPECT_FALSE(PaneStateFromBytes(withSegments + "segments 1\nt\n")) << "segments twice";
}

TEST(PaneStore, AnythingElseIsRefused) {
    const QByteArray good =
        PaneStateToBytes({QStringLiteral("ab"), QStringLiteral("cd"), 0, 1, {}, {}});
    ASSERT_TRUE(PaneStateFromBytes(good));
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"another head", "quillbridge-panes 2\nselection 0 1\nsource 2\nab\ntarget 2\ncd\n"},
        {"cut short", good.left(good.size() - 2)},
        {"a length past the end", "quillbridge-panes 1\nselection 0 1\nsource 99\nab\ntarget 2\ncd\n"},
        {"a length that misses the line end",
         "quillbridge-panes 1\nselection 0 1\nsource 1\nab\ntarget 2\ncd\n"},
        {"a negative number", "quillbridge-panes 1\nselection -1 1\nsource 2\nab\ntarget 2\ncd\n"},
        {"a sign", "quillbridge-panes 1\nselection +1 1\nsource 2\nab\ntarget 2\ncd\n"},
        {"a huge number", "quillbridge-panes 1\nselection 0 1\nsource 99999999999999999999\nab\n"},
        {"one number missing", "quillbridge-panes 1\nselection 0\nsource 2\nab\ntarget 2\ncd\n"},
        {"no target", "quillbridge-panes 1\nselection 0 1\nsource 2\nab\n"},
        {"bytes after the end", good + "x"},
        {"not UTF-8", "quillbridge-panes 1\nselection 0 1\nsource 2\n\xD6\xD0\ntarget 2\ncd\n"},
    };
    for (const auto& c : cases) EXPECT_FALSE(PaneStateFromBytes(c.bytes)) << c.what;
}

} // namespace
} // namespace qb
