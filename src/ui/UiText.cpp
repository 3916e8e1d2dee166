#include "ui/UiText.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextDocumentFragment>

namespace tarq {

QString ToQt(const std::string& text) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString result = decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  if (decoder.hasError()) return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  return result;
}

std::string FromQt(const QString& text) { return text.toStdString(); }

QString CaptionText(const std::string& caption) {
  const QString text = ToQt(caption);
  QString result;
  result.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      if (i + 1 < text.size() && text[i + 1] == u'&') {
        result += u'&';
        ++i;
      }
      continue;
    }
    result += text[i];
  }
  return result;
}

QString LinkMarkup(const std::string& markup) {
  QString text = ToQt(markup);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
  text.replace(u'\n', QStringLiteral("<br>"));
  return text;
}

std::string AnchorText(const std::string& markup, const std::string& href) {
  static const QRegularExpression anchor(
      QStringLiteral("<a\\s[^>]*href\\s*=\\s*\"([^\"]*)\"[^>]*>(.*?)</a\\s*>"),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  const QString text = ToQt(markup);
  const QString target = ToQt(href);
  for (auto it = anchor.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch match = it.next();
    const QString matchTarget = QTextDocumentFragment::fromHtml(match.captured(1)).toPlainText();
    if (match.captured(1) == target || matchTarget == target)
      return FromQt(QTextDocumentFragment::fromHtml(match.captured(2)).toPlainText());
  }
  return {};
}

}  // namespace tarq
