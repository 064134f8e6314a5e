// url! and file!: percent encoding and decoding, mold, joins through paths,
// to url! from a block, local file names, and the I/O actions' refusal.
#include <gtest/gtest.h>
#include <unistd.h>
#include "runtime/datatypes/url.h"
#include "tests/runtime/datatypes/string_test_support.h"

namespace zel::test {
namespace {

using text::make;
using text::mold;
using text::utf8;
using text::integer;
using text::block_of;

Cell empty() {
    Cell c;
    string::rs_make_at(&c, 16);
    return c;
}
Cell join(Cell parent, Cell element) {
    return *actions::eval_path(&parent, &element, nullptr, nullptr, nullptr, nullptr, -1, false, true, false, false);
}

class UrlFile : public RuntimeTest {};

TEST_F(UrlFile, PercentEncoding) {
    struct Case {
        const char* text;
        int mode;
        const char* encoded;
    };
    const Case cases[] = {
        {"http://a.b/c d?x=1&y=~", 0, "http://a.b/c%20d?x=1&y=~"},
        {"http://a.b/c d?x=1&y=~", url::ENCODE_STRICT, "http%3A%2F%2Fa.b%2Fc%20d%3Fx%3D1%26y%3D~"},
        {"\xC3\xA9\xE2\x82\xAC", 0, "%C3%A9%E2%82%AC"},
        {"100%", 0, "100%25"},
        {"a\"<>[]{}|\\^`;", 0, "a%22%3C%3E%5B%5D%7B%7D%7C%5C%5E%60%3B"},
    };
    for (const Case& c : cases) {
        Cell t = make(c.text), out = empty();
        url::encode(&t, &out, c.mode);
        EXPECT_EQ(utf8(out), c.encoded) << c.text;
    }
}

TEST_F(UrlFile, PercentDecoding) {
    struct Case {
        const char* text;
        const char* decoded;
    };
    const Case cases[] = {
        {"%C3%A9", "\xC3\xA9"},          // one code point from a two-byte sequence
        {"%41%62c", "Abc"},
        {"%A9", "\xC2\xA9"},             // a lone continuation byte is code point A9h
        {"%zz%4", "%zz%4"},              // not escapes: plain text
        {"%C3", "%C3"},                  // a lead byte without its continuation
        {"%C3%28", "%C3("},              // bytes that are not one character
        {"%E2%82%AC!", "\xE2\x82\xAC!"},
        {"%F0%9F%98%80", "\xF0\x9F\x98\x80"},
        {"\xC3\xA9%20", "\xC3\xA9 "},
    };
    for (const Case& c : cases) {
        Cell t = make(c.text), out = empty();
        url::decode(&t, &out);
        EXPECT_EQ(utf8(out), c.decoded) << c.text;
    }
}

TEST_F(UrlFile, Mold) {
    EXPECT_EQ(mold(make("http://a.b/c d", TYPE_URL)), "http://a.b/c%20d");
    EXPECT_EQ(mold(make("http://a.b/\xC3\xA9", TYPE_URL)), "http://a.b/%C3%A9");
    struct Case {
        const char* name;
        const char* molded;
    };
    const Case files[] = {
        {"dir/f.txt", "%dir/f.txt"},
        {"my file", "%\"my file\""},
        {"", "%\"\""},
        {"caf\xC3\xA9", "%caf\xC3\xA9"},       // 7Fh and above never need quotes
        {"a\"b", "%\"a^\"b\""},                // escaped so that it loads back
        {"a^b", "%\"a^^b\""},
        {"tab\there", "%\"tab^-here\""},
        {"50%", "%\"50%\""},
    };
    for (const Case& c : files) EXPECT_EQ(mold(make(c.name, TYPE_FILE)), c.molded) << c.name;
}

TEST_F(UrlFile, MoldBudgets) {
    Cell u = make("a b", TYPE_URL), out = empty();
    EXPECT_EQ(actions::mold(&u, &out, false, false, false, nullptr, 2, 0), 0);
    EXPECT_EQ(utf8(out), "a%");
    Cell f = make("abcdef", TYPE_FILE), limit = integer(2);
    out = empty();
    EXPECT_EQ(actions::mold(&f, &out, false, false, false, &limit, 100, 0), 97);
    EXPECT_EQ(utf8(out), "%ab");
}

TEST_F(UrlFile, PathsJoinWithOneSlash) {
    Cell dir = make("dir/", TYPE_FILE);
    Cell joined = join(dir, make("/x"));
    EXPECT_EQ(cell::type(&joined), uint32_t{TYPE_FILE});
    EXPECT_EQ(utf8(joined), "dir/x");
    EXPECT_EQ(utf8(dir), "dir/");  // the parent is not changed
    EXPECT_EQ(utf8(join(make("dir", TYPE_FILE), make("x"))), "dir/x");
    EXPECT_EQ(utf8(join(make("dir/", TYPE_FILE), make("x"))), "dir/x");
    EXPECT_EQ(utf8(join(make("dir", TYPE_FILE), make("/x"))), "dir/x");
    Cell site = join(make("http://a.b", TYPE_URL), integer(7));
    EXPECT_EQ(cell::type(&site), uint32_t{TYPE_URL});
    EXPECT_EQ(utf8(site), "http://a.b/7");
    Cell f = make("f", TYPE_FILE), x = make("x"), v = make("v");
    EXPECT_EQ(text::raised([&] { actions::eval_path(&f, &x, &v, &f, nullptr, nullptr, -1, false, false, false,
                                                    false); }).id, "bad-path-set");
}

TEST_F(UrlFile, ToUrlFromABlock) {
    Cell type_cell{TYPE_DATATYPE, TYPE_URL, 0, 0};
    Cell b = block_of({make("http"), make("example.com"), integer(8080)});
    Cell* u = actions::to(&type_cell, &b);
    EXPECT_EQ(cell::type(u), uint32_t{TYPE_URL});
    EXPECT_EQ(utf8(*u), "http://example.com:8080");
    Cell b2 = block_of({make("ftp"), make("h"), integer(21), make("a"), make("b.txt")});
    EXPECT_EQ(utf8(*actions::to(&type_cell, &b2)), "ftp://h:21/a/b.txt");
    Cell b3 = block_of({make("http"), make("h"), make("a")});
    EXPECT_EQ(utf8(*actions::to(&type_cell, &b3)), "http://h/a");
    Cell none_block = block_of({});
    EXPECT_EQ(text::raised([&] { actions::to(&type_cell, &none_block); }).id, "bad-to-arg");
    // A file! from a block joins the formed elements as string! does.
    Cell file_type{TYPE_DATATYPE, TYPE_FILE, 0, 0};
    Cell* f = actions::to(&file_type, &b3);
    EXPECT_EQ(cell::type(f), uint32_t{TYPE_FILE});
    EXPECT_EQ(utf8(*f), "httpha");
    Cell s = make("http://x");
    EXPECT_EQ(utf8(*actions::make(&type_cell, &s)), "http://x");
}

TEST_F(UrlFile, DriveLetterLocalForms) {
    struct Case {
        const char* file;
        const char* local;
    };
    const Case cases[] = {
        {"/c/dir/f", "c:\\dir\\f"}, {"/c", "c:\\"}, {"/c/", "c:\\"}, {"/srv/share", "\\\\srv\\share"},
        {"dir/f", "dir\\f"},        {"//x/y", "\\x\\y"}, {"", ""},
    };
    for (const Case& c : cases) {
        Cell f = make(c.file, TYPE_FILE), out = empty();
        file::convert_to_local(&f, &out, false, file::Platform::WINDOWS);
        EXPECT_EQ(utf8(out), c.local) << c.file;
    }
    const Case back[] = {
        {"C:\\Users\\a", "/C/Users/a"}, {"a\\\\b", "a/b"}, {"", ""}, {"C:", "/C/"}, {"C:\\", "/C/"},
        {"C:\\a:b", "/C/a"},
    };
    for (const Case& c : back) {
        Cell p = make(c.file), out = empty();
        file::to_zel_file(&p, &out, file::Platform::WINDOWS);
        EXPECT_EQ(utf8(out), c.local) << c.file;
    }
}

TEST_F(UrlFile, PosixLocalFormsAreThePathsThemselves) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    std::string dir = cwd;
    if (dir.back() != '/') dir += '/';
    struct Case {
        const char* file;
        bool full;
        std::string local;
    };
    const Case cases[] = {
        {"dir/f", false, "dir/f"},        {"/usr/lib/x", false, "/usr/lib/x"},
        {"dir/f", true, dir + "dir/f"},   {"/usr/lib/x", true, "/usr/lib/x"},
        {"a\\b:c", false, "a\\b:c"},      {"caf\xC3\xA9", false, "caf\xC3\xA9"},
    };
    for (const Case& c : cases) {
        Cell f = make(c.file, TYPE_FILE), out = empty();
        file::convert_to_local(&f, &out, c.full);
        EXPECT_EQ(utf8(out), c.local) << c.file;
        Cell back = empty();
        file::to_zel_file(&out, &back);
        EXPECT_EQ(utf8(back), c.local) << c.file;
    }
    Cell f = make("caf\xC3\xA9/x", TYPE_FILE);
    EXPECT_EQ(file::to_os_path(&f), "caf\xC3\xA9/x");
}

TEST_F(UrlFile, IoActionsSayTheyAreNotDoneYet) {
    Cell f = make("f.txt", TYPE_FILE), u = make("http://a.b", TYPE_URL), data = make("x");
    EXPECT_EQ(text::raised([&] { file::read(&f, nullptr, nullptr, false, false, false, nullptr); }).id, "not-done");
    EXPECT_EQ(text::raised([&] { file::write(&f, &data, false, false, false, false, nullptr, nullptr, nullptr,
                                             nullptr); }).id, "not-done");
    EXPECT_EQ(text::raised([&] { file::delete_(&f); }).id, "not-done");
    EXPECT_EQ(text::raised([&] { url::read(&u, nullptr, nullptr, false, false, false, nullptr); }).id, "not-done");
    auto r = text::raised([&] { file::query(&f); });
    ASSERT_EQ(r.args.size(), 1u);
    EXPECT_EQ(utf8(r.args[0]), "f.txt");
}

}  // namespace
}  // namespace zel::test
