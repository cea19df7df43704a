#include "imaging/cpu/FunctionDescriptor.h"

#include <atomic>

namespace trov::imaging {

namespace {

std::atomic<FunctionDescriptor*> listHead{nullptr};
FunctionDescriptor filterGaussRecord{"i", "filterGauss_8u_C4", nullptr, nullptr};
bool filterGaussRegistered = false;

} // namespace

FunctionDescriptor* pushDescriptor(FunctionDescriptor* descriptor) {
    return listHead.exchange(descriptor, std::memory_order_acq_rel);
}

FunctionDescriptor* descriptorListHead() {
    return listHead.load(std::memory_order_acquire);
}

const FunctionDescriptor& filterGaussDescriptor() {
    return filterGaussRecord;
}

void registerFilterGaussDescriptor() {
    if (filterGaussRegistered)
        return;
    filterGaussRegistered = true;
    filterGaussRecord.variants = variantTable();
    filterGaussRecord.next = pushDescriptor(&filterGaussRecord);
}

} // namespace trov::imaging
