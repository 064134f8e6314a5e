// Console output, print hooks, heap wrappers and the OS layer.
#include <unistd.h>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>
#include "platform/os.h"
#include "runtime/heap.h"
#include "runtime/memory.h"
#include "runtime/print.h"
#include "runtime/stdout.h"
#include "tests/runtime/test_support.h"

namespace zel {
namespace {

// Captures what the output layer writes while it is alive.
class Capture {
public:
    Capture() {
        if (pipe(fds_) != 0) std::abort();
        saved_ = std_out::fd();
        std_out::set_fd(fds_[1]);
    }
    ~Capture() {
        std_out::set_fd(saved_);
        close(fds_[0]);
    }
    std::string text() {
        std_out::set_fd(saved_);
        close(fds_[1]);
        std::string out;
        char buf[4096];
        ssize_t n;
        while ((n = read(fds_[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
        return out;
    }

private:
    int fds_[2];
    int saved_;
};

class OutputTest : public test::RuntimeTest {};

TEST_F(OutputTest, NumberFormats) {
    Capture cap;
    std_out::print_byte_hex(255);
    std_out::print_c_string(" ");
    std_out::print_float(1.0);
    std_out::print_c_string(" ");
    std_out::print_float(0.1);
    std_out::print_c_string(" ");
    std_out::print_float32(0.1f);
    std_out::print_c_string(" ");
    std_out::print_hex(0xBEEF);
    std_out::print_c_string(" ");
    std_out::print_int(-42);
    EXPECT_EQ(cap.text(), "FF 1 0.1 0.1 0000BEEF -42");
}

TEST_F(OutputTest, TextOfEveryUnitArrivesAsUtf8) {
    Capture cap;
    const uint8_t latin1[] = {'a', 0xE9};
    std_out::write(latin1, 2, 1, false);
    const uint16_t ucs2[] = {0x20AC, 'b'};
    std_out::write(ucs2, 4, 2, true);
    const uint32_t ucs4[] = {0x1F600, 'c'};
    std_out::write(ucs4, 8, 4, false);
    EXPECT_EQ(cap.text(), "a\xC3\xA9\xE2\x82\xAC" "b\n\xF0\x9F\x98\x80" "c");
}

TEST_F(OutputTest, EscapeSequencesPassThroughUnchanged) {
    Capture cap;
    const char text[] = "\x1B[31mred\x1B[0m \x1B x";
    std_out::write(text, sizeof text - 1, 1, true);
    EXPECT_EQ(cap.text(), std::string(text) + "\n");
}

TEST_F(OutputTest, LongTextIsNotCut) {
    Capture cap;
    std::vector<uint16_t> text(5000, 0x3042);  // three UTF-8 bytes each
    std_out::write(text.data(), text.size() * 2, 2, false);
    std::string out = cap.text();
    EXPECT_EQ(out.size(), 15000u);
    EXPECT_EQ(out.substr(14997), "\xE3\x81\x82");
}

std::vector<std::string> calls;
void hook_a(const Cell*, bool nl) { calls.push_back(nl ? "a\\n" : "a"); }
void hook_b(const Cell*, bool) { calls.push_back("b"); }
void text_hook(const char* text, size_t len, int) { calls.push_back("text:" + std::string(text, len)); }

TEST_F(OutputTest, HooksAreCalledInOrderAndListsGrowByFive) {
    print::init();
    EXPECT_EQ(print::value_hook_capacity(), 5u);
    for (int i = 0; i < 5; ++i) print::add_hooks(i % 2 ? hook_b : hook_a, nullptr);
    EXPECT_EQ(print::value_hook_count(), 6u);
    EXPECT_EQ(print::value_hook_capacity(), 10u);
    print::add_hooks(nullptr, text_hook);

    Node n = series::alloc_text(3, 1);
    std::memcpy(series::grow_tail(n, 3), "hey", 3);
    Cell s;
    set_series(&s, TYPE_STRING, n);
    calls.clear();
    {
        Capture cap;
        print::call_hooks(&s, true);
        std_out::print_int(7);
        EXPECT_EQ(cap.text(), "hey\n7");  // the default hook stays first
    }
    std::vector<std::string> want = {"a\\n", "b", "a\\n", "b", "a\\n", "text:7"};
    EXPECT_EQ(calls, want);
    print::remove_hooks(hook_b, text_hook);
    EXPECT_EQ(print::value_hook_count(), 5u);
    print::init();
}

TEST_F(OutputTest, DefaultHookPrintsFromTheHead) {
    uint32_t text[4] = {'x', 'y', 0x1F600, 'z'};
    Node n = series::alloc_text(4, 4);
    std::memcpy(series::grow_tail(n, 16), text, 16);
    Cell s;
    set_series(&s, TYPE_STRING, n, 2);
    Capture cap;
    print::default_hook(&s, false);
    EXPECT_EQ(cap.text(), "\xF0\x9F\x98\x80z");
}

int begins = 0, ends = 0;
TEST_F(OutputTest, GuiHooksSurroundPrintedOutput) {
    begins = ends = 0;  // the counters outlive one run of the test
    print::set_gui_hooks([] { ++begins; }, [] { ++ends; });
    Node n = series::alloc_text(1, 1);
    *series::grow_tail(n, 1) = 'q';
    Cell s;
    set_series(&s, TYPE_STRING, n);
    {
        Capture cap;
        print::default_hook(&s, false);
        sys::PrintItem items[] = {sys::PrintItem::integer(5), sys::PrintItem::logic(true),
                                  sys::PrintItem::cstring(" x"), sys::PrintItem::float64(2.5),
                                  sys::PrintItem::character('!'), sys::PrintItem::hex(255)};
        sys::print_line(items, 6);
        EXPECT_EQ(cap.text(), "q5true x2.5!000000FF\n");
    }
    print::set_gui_hooks(nullptr, nullptr);
    EXPECT_EQ(begins, 2);
    EXPECT_EQ(ends, 2);
}

TEST_F(OutputTest, HeapWrappersKeepTheList) {
    size_t before = sys::heap_block_count();
    void* a = sys::alloc(10);
    void* b = sys::alloc_zero(20);
    EXPECT_EQ(static_cast<uint8_t*>(b)[19], 0);
    EXPECT_EQ(sys::heap_block_count(), before + 2);
    void* c = sys::realloc(nullptr, 30);  // null allocates
    EXPECT_EQ(sys::heap_block_count(), before + 3);
    std::memset(a, 'x', 10);
    a = sys::realloc(a, 5000);
    EXPECT_EQ(static_cast<uint8_t*>(a)[9], 'x');
    EXPECT_EQ(sys::realloc(c, 0), nullptr);  // size 0 frees
    sys::free(b);
    int not_ours = 0;
    sys::free(&not_ours + 8);  // ignored
    sys::free(a);
    EXPECT_EQ(sys::heap_block_count(), before);
}

TEST_F(OutputTest, DegreesToRadians) {
    auto rad = [](double d) { return d * M_PI / 180.0; };
    EXPECT_NEAR(sys::degrees_to_radians(270, 2), rad(-90), 1e-12);
    EXPECT_NEAR(sys::degrees_to_radians(135, 0), rad(-45), 1e-12);
    EXPECT_NEAR(sys::degrees_to_radians(-400, 1), rad(-40), 1e-12);
    EXPECT_NEAR(sys::degrees_to_radians(30, 2), rad(30), 1e-12);
}

TEST(OsTest, ZonePacking) {
    EXPECT_EQ(platform::pack_zone(5 * 3600 + 30 * 60), 22u);
    EXPECT_EQ(platform::pack_zone(-3 * 3600), 76u);
    EXPECT_EQ(platform::pack_zone(0), 0u);
    EXPECT_EQ(platform::pack_zone(-(3 * 3600 + 30 * 60)), (0x13u << 2) | 2u);
}

TEST(OsTest, DateAndTime) {
    uint32_t d = platform::get_date(true);
    EXPECT_EQ(d & 0x7F, 0u);  // UTC has no zone
    EXPECT_GE(d >> 17, 2024u);
    uint32_t month = (d >> 12) & 0x1F, day = (d >> 7) & 0x1F;
    EXPECT_TRUE(month >= 1 && month <= 12);
    EXPECT_TRUE(day >= 1 && day <= 31);
    double t = platform::get_time(false);
    EXPECT_EQ(t, std::floor(t));
    EXPECT_LT(t, 86400.0);
    double p = platform::get_time(true);
    EXPECT_LT(p, 86400.0);
}

TEST(OsTest, EnvironmentAndDirectory) {
    std::string v;
    EXPECT_TRUE(platform::set_env("ZEL_TEST_VAR", "h\xC3\xA9llo"));
    EXPECT_TRUE(platform::get_env("ZEL_TEST_VAR", v));
    EXPECT_EQ(v, "h\xC3\xA9llo");
    EXPECT_FALSE(platform::get_env("ZEL_TEST_SURELY_ABSENT", v));
    std::string here = platform::get_current_dir();
    EXPECT_FALSE(here.empty());
    EXPECT_TRUE(platform::set_current_dir("/"));
    EXPECT_EQ(platform::get_current_dir(), "/");
    EXPECT_TRUE(platform::set_current_dir(here.c_str()));
    EXPECT_FALSE(platform::set_current_dir("/surely/not/a/dir"));
}

TEST(OsTest, SecureRandomFillsTheBuffer) {
    uint8_t a[64] = {}, b[64] = {};
    platform::secure_random(a, sizeof a);
    platform::secure_random(b, sizeof b);
    EXPECT_NE(std::memcmp(a, b, sizeof a), 0);
}

}  // namespace
}  // namespace zel
