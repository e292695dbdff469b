#pragma once
// The wire form of the engine's types: the type description of a column or parameter, and the
// bytes of one value. Engine types map one to one onto SQL Server's nullable wire types
// (int -> INTN(4), varchar(30) -> BIGVARCHR(30) with the collation, varchar(max) -> PLP, ...).

#include "tds/Bytes.h"
#include "tsql/Value.h"

#include <cstdint>
#include <string_view>

namespace tds {

namespace wiretype {
constexpr std::uint8_t Null = 0x1F;
constexpr std::uint8_t Int1 = 0x30, Bit = 0x32, Int2 = 0x34, Int4 = 0x38, DateTime4 = 0x3A, Flt4 = 0x3B;
constexpr std::uint8_t Money = 0x3C, DateTime = 0x3D, Flt8 = 0x3E, Money4 = 0x7A, Int8 = 0x7F;
constexpr std::uint8_t Guid = 0x24, IntN = 0x26, BitN = 0x68, DecimalN = 0x6A, NumericN = 0x6C;
constexpr std::uint8_t FltN = 0x6D, MoneyN = 0x6E, DateTimeN = 0x6F;
constexpr std::uint8_t DateN = 0x28, TimeN = 0x29, DateTime2N = 0x2A, DateTimeOffsetN = 0x2B;
constexpr std::uint8_t LegacyDecimal = 0x37, LegacyNumeric = 0x3F;
constexpr std::uint8_t LegacyChar = 0x2F, LegacyVarChar = 0x27, LegacyBinary = 0x2D, LegacyVarBinary = 0x25;
constexpr std::uint8_t BigVarBinary = 0xA5, BigVarChar = 0xA7, BigBinary = 0xAD, BigChar = 0xAF;
constexpr std::uint8_t NVarChar = 0xE7, NChar = 0xEF;
constexpr std::uint8_t Text = 0x23, Image = 0x22, NText = 0x63;
} // namespace wiretype

// SQL_Latin1_General_CP1_CI_AS: LCID 0x0409 with its comparison flags, sort id 52.
constexpr std::string_view DefaultCollation{"\x09\x04\xD0\x00\x34", 5};

struct WireType {
    std::uint8_t code = wiretype::IntN;
    std::uint32_t maxLength = 4; // bytes; 0xFFFF marks a PLP (max) type
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    tsql::SqlType sql;

    bool isPlp() const;
    bool isLob() const; // text, ntext, image: sent with a text pointer
    bool hasCollation() const;
};

WireType wireTypeOf(const tsql::SqlType &type);
void writeTypeInfo(ByteWriter &w, const WireType &t);
// Writes the value's length prefix and bytes; NULL as the type's NULL form. The value may be
// held in another form than the type (an integer for a decimal column): it is converted.
void writeValue(ByteWriter &w, const WireType &t, const tsql::Value &v);
bool isNullWritable(const WireType &t); // false only for types that have no NULL form

// Reading the typed parameters of a remote procedure call.
WireType readTypeInfo(ByteReader &r);
tsql::Value readValue(ByteReader &r, const WireType &t);

// "6F9619FF-8B86-D011-B42D-00C04FC964FF" <-> the 16 bytes, first three groups little-endian.
std::string guidToBytes(std::string_view text);
std::string guidToText(std::string_view bytes);

} // namespace tds
