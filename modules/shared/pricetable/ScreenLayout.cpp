#include "pricetable/ScreenLayout.h"

#include "controls/Edit.h"
#include "controls/Label.h"
#include "controls/TBtnPesquisa.h"
#include "data/DataSet.h"

namespace vnd::layout {

void entry(vol::Control& c, vol::Rect r, int tabOrder) {
    c.setGeometry(r);
    c.setColorRole(vol::ColorRole::InfoBackground);
    c.setTabStop(true);
    c.setTabOrder(tabOrder);
}

void nameField(vol::Edit& e, vol::Rect r, int tabOrder) {
    e.setGeometry(r);
    e.setEnabled(false);
    e.setTabStop(false);
    e.setTabOrder(tabOrder);
    e.setColorRole(vol::ColorRole::ButtonFace);
}

void lookup(vol::TBtnPesquisa& b, int left, int top, vol::Control* associate, std::string title,
            vol::DataSource* source, std::string emptyError, int height) {
    b.setGeometry({left, top, kLookupSize, height});
    b.Associate = associate;
    b.Title = std::move(title);
    b.DataSource = source;
    b.EmptyError = std::move(emptyError);
    b.setTabStop(false);
}

void boldLabel(vol::Label& l, std::string caption, vol::Rect r) {
    l.setCaption(std::move(caption));
    l.setGeometry(r);
    l.setFontRole(vol::FontRole::Bold);
}

void stringField(vol::DataSet& d, std::string name, int size, std::string title, bool visible) {
    vol::FieldDef f;
    f.name = std::move(name);
    f.size = size;
    f.displayLabel = std::move(title);
    f.visible = visible;
    d.addField(std::move(f));
}

}  // namespace vnd::layout
