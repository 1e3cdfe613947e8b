#include "core/app/record_caption.h"

#include "core/text/gbk_literal.h"

namespace tovakin::app {

using namespace text::literals;

std::string recordCountCaption(std::string_view versionText, std::size_t rowCount) {
    return "Tovakin-" + std::string(versionText) + "        " + std::to_string(rowCount) + "条记录"_gbk;
}

}  // namespace tovakin::app
