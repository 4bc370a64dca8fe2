// Every assertion of the library, provoked once: each ends the process with its own message,
// which names the function first, and the file and line of the check.

#include "quorlix/core/Array.h"
#include "quorlix/core/Memory.h"
#include "quorlix/core/String.h"

#include <gtest/gtest.h>

#include <string>

using namespace Quorlix;

namespace {

// The report's text as a POSIX extended expression: the message taken literally.
std::string ReportPattern(const std::string& message, const char* file) {
    std::string pattern = "^ASSERTION FAILED: ";
    for (char c : message) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos)
            pattern += '\\';
        pattern += c;
    }
    return pattern + " \\(.*/" + file + ":[0-9]+\\)\n$";
}

} // namespace

TEST(AssertDeathTest, EveryAssertionEndsTheProcessWithItsOwnMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        void (*m_Provoke)();
        const char* m_Message;
        const char* m_File;
    };
    const Case cases[] = {
        {[] {
             Array<int> array;
             array.Add(1);
             (void)array[1];
         },
         "Array::operator[]: index out of range", "Array.h"},
        {[] {
             Array<int> array;
             array.Add(1);
             const Array<int>& view = array;
             (void)view[-1];
         },
         "Array::operator[]: index out of range", "Array.h"},
        {[] { Array<int>().Insert(1, 0); }, "Array::Insert: position out of range", "Array.h"},
        {[] { Array<int>().Remove(0); }, "Array::Remove: position out of range", "Array.h"},
        {[] { Array<int>().RemoveSwapLast(0); }, "Array::RemoveSwapLast: position out of range",
         "Array.h"},
        {[] { Array<int>().Resize(-1); }, "Array::Resize: negative size", "Array.h"},
        {[] { String("ab").Insert(3, 'x'); }, "String::Insert: position out of range",
         "String.cpp"},
        {[] { String("ab").Replace(2, 'x'); }, "String::Replace: position out of range",
         "String.cpp"},
        {[] { String("ab").Swap(0, 2); }, "String::Swap: position out of range", "String.cpp"},
        {[] { String("ab").Remove(-1); }, "String::Remove: position out of range", "String.cpp"},
        {[] { (void)Memory::UninitializedNewArrayRef1(2, 3, TypeOf<int>()); },
         "Memory::UninitializedNewArrayRef1: count above capacity", "Memory.cpp"},
        {[] { (void)Memory::NewObjectBlock(sizeof(int) + 8, 1, TypeOf<int>(), 0); },
         "Memory::NewObjectBlock: object size differs from its elements", "Memory.cpp"},
    };
    for (const Case& assertion : cases)
        EXPECT_DEATH(assertion.m_Provoke(), ReportPattern(assertion.m_Message, assertion.m_File))
            << assertion.m_Message;
}
