#pragma once

#include "operations/PageHost.h"

#include <functional>
#include <string>
#include <vector>

// Records the page calls by name; onStore stands in for the pages writing their controls.
class FakePageHost : public PageHost {
public:
    void storePages() override {
        calls.push_back("storePages");
        if (onStore) {
            onStore();
        }
    }
    void refreshPages() override { calls.push_back("refreshPages"); }
    void returnToMainPage() override { calls.push_back("returnToMainPage"); }

    std::vector<std::string> calls;
    std::function<void()> onStore;
};
