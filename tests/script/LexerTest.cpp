#include "quorlix/script/Lexer.h"
#include "quorlix/stream/Stream.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include "support/FaultPipe.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::FaultPipe;
using QuorlixTest::LogCapture;

namespace {

constexpr unsigned k_Skip = Lexer::FlagSkipBlank | Lexer::FlagSkipCRLF;
constexpr unsigned k_Script = k_Skip | Lexer::FlagCombineUnary | Lexer::FlagSkipDoubleSlashComment |
                              Lexer::FlagSkipCrossComment;

// Every token up to the end, one PrintLex line each (the EOF line included).
std::string Dump(Lexer& lexer, size_t maxTokens = 1000000) {
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    Stream stream(pipe);
    for (size_t i = 0; i < maxTokens; ++i) {
        const LexType type = lexer.Lex();
        lexer.PrintLex(stream);
        if (type == LexEOF)
            break;
    }
    return std::string(reinterpret_cast<const char*>(pipe->GetData()),
                       static_cast<size_t>(pipe->GetSize()));
}

std::string Dump(const std::string& text, unsigned flags) {
    Lexer lexer(text.data(), static_cast<int>(text.size()), flags);
    return Dump(lexer);
}

// The same text through a pipe that delivers one byte per read.
Obj<StreamPipe> Trickle(const std::string& text, int bytes = 1) {
    Obj<FaultPipe> pipe =
        NewObject<FaultPipe>(StreamPipeMemory::Create(text.data(), static_cast<int>(text.size())));
    pipe->Trickle(bytes);
    return Obj<StreamPipe>(pipe.Get());
}

// The first token of `text` with the script flags; after a leading "x=" (an operator, where a
// sign joins the literal) the token behind it.
struct First {
    explicit First(const std::string& text, unsigned flags = k_Script)
        : m_Text(text), m_Lexer(m_Text.data(), static_cast<int>(m_Text.size()), flags) {
        m_Type = m_Lexer.Lex();
        if (text.rfind("x=", 0) == 0) {
            m_Lexer.Lex();
            m_Type = m_Lexer.Lex();
        }
    }
    std::string m_Text;
    Lexer m_Lexer;
    LexType m_Type;
};

TEST(Lexer, EveryTokenKindOfTheText) {
    const std::string text = "name .member .call( .at[ :scope : . $1F $ @ ( ) [ ] { } "
                             "< > <= >= == != + - * / % << >> & | ^ ! && || ^^ = , ; ? "
                             "~ ' ` \\ \x01 \x7F \x80 \xFF \"s\" #bs raw## 7 1.5 2.5F";
    std::string withZero = text + std::string(1, '\0');
    EXPECT_EQ(Dump(withZero, k_Skip),
              "Identifier name\nDotIdentifier .member\nDotIdentifierFunction call\n"
              "ParenthesisL [Unknown 0xB0]\nDotIdentifierElement at\nBracketL [Unknown 0xB2]\n"
              "ColonIdentifier scope\nColon [Unknown 0xF1]\nDot [Unknown 0xF0]\nId $1F\n"
              "Id $0\nAt [Unknown 0xA4]\nParenthesisL [Unknown 0xB0]\n"
              "ParenthesisR [Unknown 0xB1]\nBracketL [Unknown 0xB2]\nBracketR [Unknown 0xB3]\n"
              "BraceL [Unknown 0xB4]\nBraceR [Unknown 0xB5]\nOperatorLT [Unknown 0xC0]\n"
              "OperatorGT [Unknown 0xC1]\nOperatorLE [Unknown 0xC2]\nOperatorGE [Unknown 0xC3]\n"
              "OperatorEQ [Unknown 0xC4]\nOperatorNE [Unknown 0xC5]\n"
              "OperatorAdd [Unknown 0xD1]\nOperatorSub [Unknown 0xD2]\n"
              "OperatorMul [Unknown 0xD3]\nOperatorDiv [Unknown 0xD4]\n"
              "OperatorMod [Unknown 0xD5]\nOperatorShiftL [Unknown 0xD6]\n"
              "OperatorShiftR [Unknown 0xD7]\nOperatorBinaryAnd [Unknown 0xD9]\n"
              "OperatorBinaryOr [Unknown 0xDA]\nOperatorBinaryXor [Unknown 0xDB]\n"
              "OperatorNot [Unknown 0xDC]\nOperatorLogicAnd [Unknown 0xDD]\n"
              "OperatorLogicOr [Unknown 0xDE]\nOperatorLogicXor [Unknown 0xDF]\n"
              "Assign [Unknown 0xE0]\nComma [Unknown 0xF2]\nSemicolon [Unknown 0xF3]\n"
              "Question [Unknown 0xF4]\nChar ~\nChar '\nChar `\nChar \\\nChar \x01\n"
              "Char \x7F\nChar \x80\nChar \xFF\nString \"s\"\nString \"raw\"\nI32 7\n"
              "F32 1.5\nF64 2.5\nChar " +
                  std::string(1, '\0') + "\nEOF [Unknown 0xFF]\n");

    // With nothing skipped: blank runs and every CR and LF on their own.
    EXPECT_EQ(Dump("a \t b\r\n\n", 0), "Identifier a\nBlank [Unknown 0xFB]\nIdentifier b\n"
                                       "CRLF [Unknown 0xFC]\nCRLF [Unknown 0xFC]\n"
                                       "CRLF [Unknown 0xFC]\nEOF [Unknown 0xFF]\n");
    // Comments are operators and raw strings unless skipped; a skipped comment keeps its line
    // end.
    EXPECT_EQ(Dump("a // c\nb", Lexer::FlagSkipDoubleSlashComment),
              "Identifier a\nBlank [Unknown 0xFB]\nCRLF [Unknown 0xFC]\nIdentifier b\n"
              "EOF [Unknown 0xFF]\n");
    EXPECT_EQ(Dump("a//\n# x\nb", k_Skip | Lexer::FlagSkipCrossComment),
              "Identifier a\nOperatorDiv [Unknown 0xD4]\nOperatorDiv [Unknown 0xD4]\n"
              "Identifier b\nEOF [Unknown 0xFF]\n");
    // A '#' that opens no raw string is consumed as Error 1; lexing goes on behind it.
    EXPECT_EQ(Dump("#x #b #", k_Skip),
              "Error 1\nIdentifier x\nError 1\nIdentifier b\nError 1\nEOF [Unknown 0xFF]\n");
}

TEST(Lexer, FlagAccessorsChangeLexingMidway) {
    const std::string text = "a b";
    Lexer lexer(text.data(), 3, 0);
    lexer.Lex();
    lexer.SetSkipBlank(true);
    EXPECT_TRUE(lexer.GetSkipBlank());
    EXPECT_EQ(lexer.Lex(), LexIdentifier);
    EXPECT_EQ(lexer.GetLineCount(), 0); // line counting is off
    EXPECT_EQ(lexer.GetColumnCount(), 0);
}

TEST(Lexer, IntegerLiteralsTakeTheirKindFromValueAndSuffix) {
    struct Case {
        const char* m_Text;
        LexType m_Type;
        uint64_t m_Bits; // the value's bytes, by kind width
    };
    const Case cases[] = {
        {"0", LexI32, 0},
        {"2147483647", LexI32, 0x7FFFFFFF},
        {"2147483648", LexU32, 0x80000000},
        {"x=-2147483648", LexI32, 0x80000000},
        {"x=-2147483649", LexI64, 0xFFFFFFFF7FFFFFFF},
        {"4294967295", LexU32, 0xFFFFFFFF},
        {"4294967296", LexI64, 0x100000000},
        {"9223372036854775808", LexU64, 0x8000000000000000},
        {"18446744073709551615", LexU64, UINT64_MAX},
        {"18446744073709551616", LexError, 2},
        {"99999999999999999999999", LexError, 2},
        {"x=-9223372036854775808", LexI64, 0x8000000000000000},
        {"x=-9223372036854775809", LexError, 2},
        {"7b", LexI32, 7},
        {"5U", LexU64, 5},
        {"5u", LexU32, 5},
        {"5I", LexI64, 5},
        {"x=-5i", LexI32, 0xFFFFFFFB},
        {"2147483647i", LexI32, 0x7FFFFFFF},
        {"2147483648i", LexError, 2},
        {"x=-2147483648i", LexI32, 0x80000000},
        {"x=-2147483649i", LexError, 2},
        {"4294967295u", LexU32, 0xFFFFFFFF},
        {"4294967296u", LexError, 2},
        {"x=-1u", LexError, 2},
        {"x=-1U", LexError, 2},
        {"9223372036854775807I", LexI64, 0x7FFFFFFFFFFFFFFF},
        {"9223372036854775808I", LexError, 2},
        {"x=-9223372036854775808I", LexI64, 0x8000000000000000},
        {"0x7FFFFFFF", LexI32, 0x7FFFFFFF},
        {"0x80000000", LexU32, 0x80000000},
        {"0x100000000", LexI64, 0x100000000},
        {"0xFFFFFFFFFFFFFFFF", LexU64, UINT64_MAX},
        {"0x10000000000000000", LexError, 2},
        {"0x0000000000000000000001", LexI32, 1},
        {"9x1f", LexI32, 0x1F},
        {"0x", LexI32, 0},
        {"x=-0x80000000", LexI32, 0x80000000},
        {"x=-0x80000001", LexI64, 0xFFFFFFFF7FFFFFFF},
        {"x=-0x8000000000000001", LexError, 2},
        {"0x80000000i", LexError, 2},
        {"x=-0x80000000i", LexI32, 0x80000000},
        {"0xFFFFFFFFu", LexU32, 0xFFFFFFFF},
        {"0x100000000u", LexError, 2},
        {"0x8000000000000000I", LexError, 2},
        {"x=-0x1U", LexError, 2},
        {"0xFFFFFFFFFFFFFFFFU", LexU64, UINT64_MAX},
    };
    for (const Case& c : cases) {
        First f(c.m_Text);
        Lexer& lexer = f.m_Lexer;
        const LexType type = f.m_Type;
        const std::string& text = f.m_Text;
        EXPECT_EQ(type, c.m_Type) << text;
        if (type == LexError)
            EXPECT_EQ(static_cast<uint64_t>(lexer.GetCode()), c.m_Bits) << text;
        else if (type == LexI32 || type == LexU32)
            EXPECT_EQ(lexer.GetU32(), c.m_Bits) << text;
        else
            EXPECT_EQ(lexer.GetU64(), c.m_Bits) << text;
        EXPECT_EQ(lexer.Lex(), LexEOF) << text << ": the literal and its suffix are consumed";
    }
}

TEST(Lexer, FloatLiteralsAreConvertedWithoutTheLocale) {
    std::setlocale(LC_ALL, "de_DE.UTF-8"); // a decimal comma must not matter
    struct Case {
        const char* m_Text;
        LexType m_Type;
        double m_Value; // the error code for LexError
    };
    const Case cases[] = {
        {"1.5", LexF32, 1.5},
        {"1.5F", LexF64, 1.5},
        {"3f", LexF32, 3},
        {"x=-2.5e-3F", LexF64, -2.5e-3},
        {"0.1", LexF32, 0.1}, // rounded from the double
        {"7.", LexF32, 7},
        {"1E+2", LexF32, 100},
        {"1e ", LexError, 1},
        {"1e+x", LexError, 1},
        // Out of range: too large is Error 2, too small reads as zero.
        {"1e999F", LexError, 2},
        {"1e39", LexError, 2},
        {"1e38", LexF32, 1e38},
        {"1e-999F", LexF64, 0},
        {"0.0000e-400", LexF32, 0},
    };
    for (const Case& c : cases) {
        First f(c.m_Text);
        EXPECT_EQ(f.m_Type, c.m_Type) << c.m_Text;
        if (f.m_Type == LexError)
            EXPECT_EQ(f.m_Lexer.GetCode(), c.m_Value) << c.m_Text;
        else if (f.m_Type == LexF32)
            EXPECT_EQ(f.m_Lexer.GetF32(), static_cast<float>(c.m_Value)) << c.m_Text;
        else
            EXPECT_EQ(f.m_Lexer.GetF64(), c.m_Value) << c.m_Text;
    }
    std::setlocale(LC_ALL, "C");
}

TEST(Lexer, SignsJoinLiteralsOnlyAfterOperatorsAndSpace) {
    EXPECT_EQ(Dump("x=-5", k_Script), "Identifier x\nAssign [Unknown 0xE0]\nI32 -5\n"
                                      "EOF [Unknown 0xFF]\n");
    EXPECT_EQ(Dump("x-5", k_Script), "Identifier x\nOperatorSub [Unknown 0xD2]\nI32 5\n"
                                     "EOF [Unknown 0xFF]\n");
    EXPECT_EQ(Dump("f(-1) a -1 a - 1 b[+2]", k_Script),
              "Identifier f\nParenthesisL [Unknown 0xB0]\nI32 -1\nParenthesisR [Unknown 0xB1]\n"
              "Identifier a\nI32 -1\nIdentifier a\nOperatorSub [Unknown 0xD2]\nI32 1\n"
              "Identifier b\nBracketL [Unknown 0xB2]\nI32 2\nBracketR [Unknown 0xB3]\n"
              "EOF [Unknown 0xFF]\n");
    // Not at the start, not after closing brackets, and not without the flag.
    EXPECT_EQ(Dump("-1)-1", k_Script), "OperatorSub [Unknown 0xD2]\nI32 1\n"
                                       "ParenthesisR [Unknown 0xB1]\n"
                                       "OperatorSub [Unknown 0xD2]\nI32 1\nEOF [Unknown 0xFF]\n");
    EXPECT_EQ(Dump("x=-5", k_Skip), "Identifier x\nAssign [Unknown 0xE0]\n"
                                    "OperatorSub [Unknown 0xD2]\nI32 5\nEOF [Unknown 0xFF]\n");
    // Two-byte operators and line ends set the mark, a sign after a sign does too.
    EXPECT_EQ(Dump("a<=-1\n-2.5--3", k_Script),
              "Identifier a\nOperatorLE [Unknown 0xC2]\nI32 -1\nF32 -2.5\n"
              "OperatorSub [Unknown 0xD2]\nI32 -3\nEOF [Unknown 0xFF]\n");
}

TEST(Lexer, QuotedStringsAndTheirEscapes) {
    {
        First f("\"a\\x41\\n\"");
        EXPECT_EQ(f.m_Type, LexString);
        EXPECT_EQ(std::string(f.m_Lexer.GetText(), 3), "aA\n");
        EXPECT_EQ(f.m_Lexer.GetTextLength(), 3);
    }
    {
        First f("\"\\\"\\'\\\\\\b\\f\\r\\t\\x00\\xfF\" x");
        EXPECT_EQ(std::string(f.m_Lexer.GetText(), static_cast<size_t>(f.m_Lexer.GetTextLength())),
                  std::string("\"'\\\b\f\r\t\0\xFF", 9));
        EXPECT_EQ(f.m_Lexer.GetText()[9], '\0');
        EXPECT_EQ(f.m_Lexer.Lex(), LexIdentifier);
    }
    // A bad escape is Error 1 and the string is still read to its end; a control byte (a line
    // end, the end of input) is Error 3 and stays for the next token.
    EXPECT_EQ(Dump("\"a\\qb\" c \"\\x4g\" \"\\x\" d", k_Skip),
              "Error 1\nIdentifier c\nError 1\nError 1\nIdentifier d\nEOF [Unknown 0xFF]\n");
    EXPECT_EQ(Dump("\"ab\ncd\" e", 0),
              "Error 3\nCRLF [Unknown 0xFC]\nIdentifier cd\nError 3\nEOF [Unknown 0xFF]\n");
    EXPECT_EQ(Dump("\"a\tb\"", k_Skip), "Error 3\nIdentifier b\nError 3\nEOF [Unknown 0xFF]\n");
    EXPECT_EQ(Dump("\"", k_Skip), "Error 3\nEOF [Unknown 0xFF]\n");
    EXPECT_EQ(Dump("\"\x80\xFF\"", k_Skip), "String \"\\x80\\xFF\"\nEOF [Unknown 0xFF]\n");
}

TEST(Lexer, TokensPastTheTokenBufferAreError2AndConsumed) {
    const std::string fits(Lexer::k_BufferSize - 1, 'n');
    const std::string longer(Lexer::k_BufferSize, 'n');
    EXPECT_EQ(First(fits).m_Lexer.GetTextLength(), Lexer::k_BufferSize - 1);
    const std::string digits(Lexer::k_BufferSize, '1');
    for (const std::string& text :
         {longer + " x", "." + longer + " x", digits + " x", digits + ".5e3f x",
          "0x" + std::string(Lexer::k_BufferSize, '0') + " x", "\"" + longer + "\" x",
          "\"" + longer + "\\n\" x"}) {
        First f(text);
        EXPECT_EQ(f.m_Type, LexError) << text.size();
        EXPECT_EQ(f.m_Lexer.GetCode(), 2) << text.size();
        EXPECT_EQ(f.m_Lexer.Lex(), LexIdentifier) << text.size();
        EXPECT_STREQ(f.m_Lexer.GetText(), "x");
    }
}

TEST(Lexer, RawBlockStrings) {
    {
        // The line end after the opener is not text; a single '#' is.
        First f("#bs\r\nline # one\nline two\n## x", k_Skip);
        EXPECT_EQ(f.m_Type, LexString);
        EXPECT_STREQ(f.m_Lexer.GetText(), "line # one\nline two\n");
        EXPECT_EQ(f.m_Lexer.Lex(), LexIdentifier);
    }
    EXPECT_STREQ(First("#bs\nx##", k_Skip).m_Lexer.GetText(), "x");
    EXPECT_STREQ(First("#bs\rx##", k_Skip).m_Lexer.GetText(), "x");
    EXPECT_STREQ(First("#bs\n\nx##", k_Skip).m_Lexer.GetText(), "\nx");
    EXPECT_STREQ(First("#bs  x##", k_Skip).m_Lexer.GetText(), " x");
    EXPECT_STREQ(First("#bs\tx##", k_Skip).m_Lexer.GetText(), "x");
    EXPECT_STREQ(First("#bsx##", k_Skip).m_Lexer.GetText(), "x");
    EXPECT_STREQ(First("#bs x#", k_Skip).m_Lexer.GetText(), "x#"); // the end of input closes it
    EXPECT_EQ(First("#bs\"\\\x01##", k_Skip).m_Lexer.GetTextLength(), 3);

    // Longer than the token buffer, and than several megabytes: the array grows by doubling,
    // one debug line per growth, and is kept for the next long string.
    for (int size : {Lexer::k_BufferSize, 6 << 20}) {
        std::string body(static_cast<size_t>(size), 'r');
        for (size_t i = 100; i < body.size(); i += 4099)
            body[i] = '#';
        const std::string text = "#bs " + body + "## #bs " + body + "##";
        LogCapture log;
        Lexer lexer(text.data(), static_cast<int>(text.size()), k_Skip);
        for (int round = 0; round < 2; ++round) {
            ASSERT_EQ(lexer.Lex(), LexString);
            ASSERT_EQ(lexer.GetTextLength(), size);
            EXPECT_EQ(std::string(lexer.GetText(), static_cast<size_t>(size)), body);
            EXPECT_EQ(lexer.GetText()[size], '\0');
        }
        const std::vector<std::string> messages = log.Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_LE(messages.size(), size_t{12}) << "growth must be geometric";
        EXPECT_EQ(messages[0], "[Debug]Lexer::Lex allocating Tmp(4200).");
        EXPECT_EQ(lexer.Lex(), LexEOF);
    }

    // Past the limit: Error 2, the rest of the string consumed.
    class LimitedLexer : public Lexer {
    public:
        using Lexer::Lexer;
        using Lexer::SetRawStringLimit;
    };
    const std::string text = "#bs " + std::string(100000, 'a') + "#b## x #bs short## ";
    LogCapture log;
    LimitedLexer lexer(text.data(), static_cast<int>(text.size()), k_Skip);
    lexer.SetRawStringLimit(50000);
    EXPECT_EQ(lexer.Lex(), LexError);
    EXPECT_EQ(lexer.GetCode(), 2);
    EXPECT_EQ(lexer.Lex(), LexIdentifier);
    EXPECT_EQ(lexer.Lex(), LexString);
    EXPECT_STREQ(lexer.GetText(), "short");
}

TEST(Lexer, LinesAndColumns) {
    const std::string text = "ab\n  cd\r\n\n" + std::string(20000, ' ') + "ef\ngh";
    struct Where {
        int m_Line, m_Column;
    };
    const Where expected[] = {{1, 3}, {2, 5}, {4, 20003}, {5, 3}, {5, 3}};
    Lexer memory(text.data(), static_cast<int>(text.size()), k_Skip | Lexer::FlagLineCount);
    Obj<StreamPipe> pipe = StreamPipeMemory::Create(text.data(), static_cast<int>(text.size()));
    Lexer piped(pipe.Get(), k_Skip | Lexer::FlagLineCount);
    Lexer trickled(Trickle(text, 7).Get(), k_Skip | Lexer::FlagLineCount);
    for (Lexer* lexer : {&memory, &piped, &trickled}) {
        for (const Where& where : expected) {
            lexer->Lex();
            EXPECT_EQ(lexer->GetLineCount(), where.m_Line);
            EXPECT_EQ(lexer->GetColumnCount(), where.m_Column);
        }
        EXPECT_EQ(lexer->GetType(), LexEOF);
    }
}

TEST(Lexer, SetReadPtrSeeksInsideMemoryBlocksOnly) {
    const std::string text = "a\nbc 12\nd";
    Lexer lexer(text.data(), static_cast<int>(text.size()), k_Skip | Lexer::FlagLineCount);
    lexer.Lex();
    const void* afterA = lexer.GetReadPtr();
    EXPECT_EQ(afterA, text.data() + 1);
    lexer.Lex();
    lexer.Lex();
    EXPECT_EQ(lexer.GetLineCount(), 2);
    lexer.SetReadPtr(text.data() + 3); // inside "bc": the character there is read next
    EXPECT_EQ(lexer.Lex(), LexIdentifier);
    EXPECT_STREQ(lexer.GetText(), "c");
    lexer.Lex();
    lexer.Lex();
    EXPECT_EQ(lexer.GetLineCount(), 3);
    lexer.SetReadPtr(afterA); // back over counted lines
    EXPECT_EQ(lexer.GetLineCount(), 1);
    EXPECT_EQ(lexer.GetColumnCount(), 2);
    lexer.SetReadPtr(text.data() + text.size()); // the end is a position too
    EXPECT_EQ(lexer.Lex(), LexEOF);
    EXPECT_EQ(lexer.GetLineCount(), 3);

    LogCapture log;
    lexer.SetReadPtr(text.data() + text.size() + 1);
    lexer.SetReadPtr(text.data() - 1);
    lexer.SetReadPtr(nullptr);
    Obj<StreamPipe> pipe = StreamPipeMemory::Create(text.data(), static_cast<int>(text.size()));
    Lexer piped(pipe.Get(), k_Skip);
    piped.Lex();
    const void* position = piped.GetReadPtr();
    piped.SetReadPtr(position);
    EXPECT_EQ(log.Messages(), std::vector<std::string>(4, "[FATAL]Lexer::SetReadPtr: illegal "
                                                          "seek position."));
    EXPECT_EQ(lexer.GetReadPtr(), text.data() + text.size());
    EXPECT_EQ(piped.Lex(), LexIdentifier);
    EXPECT_STREQ(piped.GetText(), "bc");

    // LexSkipToEOL drops the rest of the line.
    Lexer skipper(text.data(), static_cast<int>(text.size()), 0);
    skipper.Lex();
    skipper.Lex();
    skipper.Lex();
    EXPECT_EQ(skipper.LexSkipToEOL(), LexCRLF);
    EXPECT_EQ(skipper.Lex(), LexIdentifier);
    EXPECT_STREQ(skipper.GetText(), "d");
}

TEST(Lexer, TypeNamesSpellingsAndPrecedences) {
    EXPECT_STREQ(Lexer::LexTypeToString(LexError), "Error");
    EXPECT_STREQ(Lexer::LexTypeToString(LexArrayVector3f), "Array_Vector3f");
    EXPECT_STREQ(Lexer::LexTypeToString(LexArraySphered), "Array_Sphered");
    EXPECT_STREQ(Lexer::LexTypeToString(LexDotIdentifierElement), "DotIdentifierElement");
    EXPECT_STREQ(Lexer::LexTypeToString(LexAssignLogicXor), "AssignLogicXor");
    EXPECT_STREQ(Lexer::LexTypeToString(LexOperatorComplement), "OperatorComplement");
    for (int type : {-1, 1, 7, 24, 100, 167, 253, 256})
        EXPECT_STREQ(Lexer::LexTypeToString(type), "???") << type;
    EXPECT_STREQ(Lexer::OperatorSpelling(LexOperatorLE), "<=");
    EXPECT_STREQ(Lexer::OperatorSpelling(LexOperatorComplement), "~");
    EXPECT_STREQ(Lexer::OperatorSpelling(LexOperatorLogicXor), "^^");
    EXPECT_STREQ(Lexer::OperatorSpelling(LexAssign), "???");
    EXPECT_STREQ(Lexer::OperatorSpelling(-1), "???");
    EXPECT_STREQ(Lexer::OperatorSpelling(1000), "???");
    EXPECT_EQ(Lexer::OperatorPrecedence(LexOperatorMod), 4);
    EXPECT_EQ(Lexer::OperatorPrecedence(LexOperatorSub), 5);
    EXPECT_EQ(Lexer::OperatorPrecedence(LexOperatorGE), 7);
    EXPECT_EQ(Lexer::OperatorPrecedence(LexOperatorBinaryXor), 10);
    EXPECT_EQ(Lexer::OperatorPrecedence(LexOperatorLogicOr), 14);
    EXPECT_EQ(Lexer::OperatorPrecedence(LexOperatorNot), 255);
    EXPECT_EQ(Lexer::OperatorPrecedence(-1), 255);
}

TEST(Lexer, PrintLexValues) {
    EXPECT_EQ(Dump("x=-4000000000 1e-5 2.5e10F :c $ABCDEF12 \"q\\\"\\x01\"", k_Script),
              "Identifier x\nAssign [Unknown 0xE0]\nI64 -4000000000\nF32 1e-05\n"
              "F64 25000000000.\nColonIdentifier c\nId $ABCDEF12\nString \"q\\\"\\x01\"\n"
              "EOF [Unknown 0xFF]\n");
}

// A scene-like text whose tokens fall on every offset of the 8192-byte blocks.
std::string GeneratedScript(unsigned seed, size_t size) {
    std::mt19937 random(seed);
    const char* const pieces[] = {"STransform:SNode",
                                  " . { .Translation (",
                                  "1.5, 2, -3.25);",
                                  " .Name \"x\\ty\";",
                                  " a -1",
                                  " a-1",
                                  "=-7",
                                  " f(-0x1F)",
                                  " #bs\nraw # text\n##",
                                  " // note\n",
                                  " # c\n",
                                  "\r\n",
                                  "\t",
                                  " 123456789012",
                                  " 1e",
                                  " \"esc\\q\"",
                                  " $7f",
                                  " x<<=-2.5e3F",
                                  " .m[ 3 ]",
                                  " \x80\x01",
                                  " #b",
                                  " ::",
                                  " 4294967296u",
                                  " 1.5f;"};
    std::string text;
    while (text.size() < size) {
        text += pieces[random() % std::size(pieces)];
        text += std::to_string(random() % 1000);
    }
    return text;
}

TEST(Lexer, PipesGiveTheTokensOfTheMemoryLexer) {
    const std::string text = GeneratedScript(11, 40000);
    for (unsigned flags : {0u, k_Skip, k_Script, k_Script | Lexer::FlagLineCount,
                           Lexer::FlagCombineUnary | Lexer::FlagSkipCRLF}) {
        Lexer memory(text.data(), static_cast<int>(text.size()), flags);
        Lexer trickled(Trickle(text).Get(), flags);
        Obj<StreamPipe> pipe = StreamPipeMemory::Create(text.data(), static_cast<int>(text.size()));
        Lexer piped(pipe.Get(), flags);
        int tokens = 0;
        for (;;) {
            const LexType type = memory.Lex();
            ASSERT_EQ(trickled.Lex(), type) << "token " << tokens << " flags " << flags;
            ASSERT_EQ(piped.Lex(), type) << "token " << tokens << " flags " << flags;
            if (memory.GetTextLength() == 0) { // names and strings point at their own text
                ASSERT_EQ(trickled.GetU64(), memory.GetU64()) << tokens;
                ASSERT_EQ(piped.GetU64(), memory.GetU64()) << tokens;
            }
            ASSERT_EQ(
                std::string(trickled.GetText(), static_cast<size_t>(trickled.GetTextLength())),
                std::string(memory.GetText(), static_cast<size_t>(memory.GetTextLength())));
            ASSERT_EQ(piped.GetColumnCount(), memory.GetColumnCount()) << tokens;
            ASSERT_EQ(trickled.GetLineCount(), memory.GetLineCount()) << tokens;
            ++tokens;
            if (type == LexEOF)
                break;
        }
        EXPECT_GT(tokens, 5000);
    }
}

} // namespace
