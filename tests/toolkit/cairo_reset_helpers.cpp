// Cairo keeps its font faces (and the fontconfig patterns behind them) in
// caches until told to let go; releasing them when the tests end keeps the
// leak checker's report to what the toolkit itself loses.
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

namespace {

class CairoStaticData : public ::testing::Environment {
public:
    void TearDown() override
    {
        cairo_debug_reset_static_data();
        FcFini();
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new CairoStaticData);

} // namespace
