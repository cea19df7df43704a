#include "framework/ProductIdentity.h"

#include <atomic>

namespace trov {

namespace {
class UnnamedProduct : public ProductIdentity {
public:
    std::string getName() const override { return "trov"; }
    std::string getMakerName() const override { return "trov"; }
    std::string getVersionString() const override { return "0.0"; }
};

std::atomic<const ProductIdentity*> gIdentity{nullptr};
} // namespace

const ProductIdentity& getProductIdentity() {
    static const UnnamedProduct unnamed;
    const ProductIdentity* identity = gIdentity.load(std::memory_order_acquire);
    return identity != nullptr ? *identity : unnamed;
}

void setProductIdentity(const ProductIdentity* identity) {
    gIdentity.store(identity, std::memory_order_release);
}

} // namespace trov
