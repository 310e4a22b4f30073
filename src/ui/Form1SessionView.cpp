#include "ui/Form1SessionView.h"

#include <QProgressBar>

#include "ui/Form1.h"

void Form1SessionView::setStatus(const SjisText& text)
{
    form_.setStatus(text);
}

void Form1SessionView::setProgressRange(int min, int max)
{
    form_.ProgressBar1->setRange(min, max);
}

void Form1SessionView::setProgressValue(int value)
{
    form_.ProgressBar1->setValue(value);
}

void Form1SessionView::setProgressStyle(int style)
{
    // Qt's bar always fills smoothly; the style asked for is kept on the bar
    // so it can be read back.
    form_.ProgressBar1->setProperty("trvStyle", style);
}

void Form1SessionView::showMessage(const SjisText& text)
{
    if (MessageBox* box = form_.m.platform.messageBox) box->show(text, false);
}

void Form1SessionView::certificateRefused(const SjisText& server, const SjisText& problems,
                                          const std::string& fingerprint)
{
    form_.m.refusedCertificate = {server, problems, fingerprint};
}
