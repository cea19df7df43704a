#pragma once

#include "framework/ProductIdentity.h"

#include <string>

namespace trov::test {

// A product identity registered for the scope, naming the folders and files made after it.
class ScopedProduct : public ProductIdentity {
public:
    ScopedProduct() { setProductIdentity(this); }
    ~ScopedProduct() override { setProductIdentity(nullptr); }
    std::string getName() const override { return "Sampler"; }
    std::string getMakerName() const override { return "Maker"; }
    std::string getVersionString() const override { return "1.0"; }
};

} // namespace trov::test
