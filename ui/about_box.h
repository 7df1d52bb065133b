#pragma once
// TForm3: the About box.

#include <QDialog>
#include <string>

namespace tarnwick {

// The operating system as the About box describes it: the distribution's name,
// " - ", and the kernel's major.minor.build.
std::string OperatingSystemText();

class TForm3 : public QDialog {
public:
    // `dataPath` is the snapshot folder, shown as the application data path.
    TForm3(const std::string& dataPath, QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace tarnwick
