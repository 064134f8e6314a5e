// money!: the currency list and the constructor from text (the datatype's
// actions join this file).
#include "runtime/datatypes/money.h"
#include <cstring>

namespace zel::money {

namespace {

// The currency list as the locale starts with it; scripts may append to it
// once the boot library holds it.
constexpr const char CURRENCIES[] =
    "AED AFN ALL AMD ANG AOA ARS AUD AWG AZN BAM BBD BDT BTC BGN BHD BIF BMD BND BOB BRL BSD BTN BWP BYN BZD "
    "CAD CDF CHF CKD CLP CNY COP CRC CUC CUP CVE CZK DJF DKK DOP DZD EGP ERN ETB ETH EUR FJD FKP FOK GBP GEL "
    "GGP GHS GIP GMD GNF GTQ GYD HKD HNL HRK HTG HUF IDR ILS IMP INR IQD IRR ISK JEP JMD JOD JPY KES KGS KHR "
    "KID KMF KPW KRW KWD KYD KZT LAK LBP LKR LRD LSL LYD MAD MDL MGA MKD MMK MNT MOP MRU MUR MVR MWK MXN MYR "
    "MZN NAD NGN NIO NOK NPR NZD OMR PAB PEN PGK PHP PKR PLN PND PRB PYG QAR ZEL RON RSD RUB RWF SAR SBD SCR "
    "SDG SEK SGD SHP SLL SLS SOS SRD SSP STN SYP SZL THB TJS TMT TND TOP TRY TTD TVD TWD TZS UAH UGX USD UYU "
    "UZS VES VND VUV WST CFA XAF XCD XOF CFP XPF YER ZAR ZMW";
constexpr uint32_t CURRENCY_COUNT = (sizeof CURRENCIES) / 4;
static_assert(CURRENCY_COUNT == 170);

char upper(char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch; }

void set_digit(uint8_t* bytes, int p, uint32_t d) {
    uint8_t& b = bytes[5 + (p - 1) / 2];
    b = (p & 1) ? static_cast<uint8_t>((b & 0x0F) | (d << 4)) : static_cast<uint8_t>((b & 0xF0) | d);
}

}  // namespace

int32_t currency_index(const char* code, uint32_t length) {
    if (length != 3) return -1;
    for (uint32_t i = 0; i < CURRENCY_COUNT; ++i) {
        const char* entry = CURRENCIES + 4 * i;
        if (entry[0] == upper(code[0]) && entry[1] == upper(code[1]) && entry[2] == upper(code[2]))
            return static_cast<int32_t>(i + 1);
    }
    return -1;
}

bool make_at(Cell* c, bool negative, const char* code, const char* start, const char* point, const char* end) {
    uint8_t bytes[16] = {};
    if (code) {
        int32_t index = currency_index(code, 3);
        if (index < 0) return false;
        bytes[4] = static_cast<uint8_t>(index);
    }
    const char* int_end = point ? point : end;
    int p = INTEGER_DIGITS;
    for (const char* s = int_end; s > start && p >= 1;) {
        char ch = *--s;
        if (ch == '\'') continue;
        set_digit(bytes, p--, static_cast<uint32_t>(ch - '0') & 0xF);
    }
    if (point) {
        p = INTEGER_DIGITS + 1;
        for (const char* s = point + 1; s < end && p <= DIGITS; ++s) set_digit(bytes, p++, static_cast<uint32_t>(*s - '0') & 0xF);
    }
    uint32_t header = c->header & FLAG_NEW_LINE;
    std::memcpy(c, bytes, sizeof bytes);
    c->header = header | TYPE_MONEY | (negative ? SIGN_FLAG : 0);
    return true;
}

uint32_t digit(const Cell* c, int p) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(c);
    uint8_t b = bytes[5 + (p - 1) / 2];
    return (p & 1) ? b >> 4 : b & 0xF;
}

}  // namespace zel::money
