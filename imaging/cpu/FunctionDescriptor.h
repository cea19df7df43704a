#pragma once

#include "imaging/FilterGauss.h"

namespace trov::imaging {

// A registered operation: its tag, its name, its variant table and the next descriptor of the list.
// The smoothing operation's descriptor is the only one; it is registered while the module loads and
// nothing walks the list afterwards. Read from any thread once registered.
struct FunctionDescriptor {
    const char* tag = nullptr;
    const char* name = nullptr;
    const FilterGaussFn* variants = nullptr;
    FunctionDescriptor* next = nullptr;
};

// Makes `descriptor` the head of the list and returns the previous head; it does not set `next`.
FunctionDescriptor* pushDescriptor(FunctionDescriptor* descriptor);
FunctionDescriptor* descriptorListHead();

// The smoothing operation's descriptor: tag "i", name "filterGauss_8u_C4".
const FunctionDescriptor& filterGaussDescriptor();
// Puts that descriptor at the head of the list, keeping the previous head as its next. Runs among the
// static initialisers; a repeated call changes nothing.
void registerFilterGaussDescriptor();

} // namespace trov::imaging
