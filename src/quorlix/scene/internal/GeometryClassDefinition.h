#pragma once
// The three out-of-line functions every geometry-side scene class has: Create, the type record
// accessor named after the class, and the destructor (which anchors the vtable here).

#include "quorlix/core/Memory.h"

#define QUORLIX_GEOMETRY_NATIVE_CLASS(C)                                                           \
    C* C::Create() {                                                                               \
        return NewObject<C>();                                                                     \
    }                                                                                              \
    const TypeInfo* C::Get##C##TypeInfo() noexcept {                                               \
        return &TypeOf<C>();                                                                       \
    }                                                                                              \
    C::~C() = default;
