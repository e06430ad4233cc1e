// Any bytes as dialup.ini: the loader must neither crash nor leave the values inconsistent.
#include "Settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    // The first byte picks how many items the selector holds.
    const int items = Size > 0 ? Data[0] % 24 : 0;
    const std::string_view text(reinterpret_cast<const char*>(Data), Size);

    int clicks = 0;
    TSettingsValues values;
    values.ItemCount = items;
    values.OnStartChanged = [&] { ++clicks; };
    ApplySettingsText(values, text.substr(Size > 0 ? 1 : 0));

    if (values.ItemIndex < -1 || values.ItemIndex >= items)
        std::abort(); // a selection outside the selector
    if (clicks != (values.Checked ? 1 : 0))
        std::abort(); // the switch clicks exactly when it changes
    return 0;
}
