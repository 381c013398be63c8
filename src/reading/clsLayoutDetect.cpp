#include "clsLayoutDetect.h"

#include <algorithm>
#include <map>
#include <set>

#include "DesignWords.h"
#include "SourcePlace.h"
#include "TextRules.h"
#include "TypeWords.h"
#include "clsExcel.h"

namespace {

using designwords::normal;

// One header row found on a sheet: the column of each part (0: none) and the label found there.
struct Header {
    std::int32_t lngRow = 0;
    std::int32_t lngCols[kHeaderPartCount] = {0, 0, 0, 0, 0, 0, 0};
    std::string strLabels[kHeaderPartCount];
};

// What one sheet holds.
struct SheetFound {
    std::int32_t lngNo = 0;
    std::string strName;
    std::vector<Header> colHeaders;
    // The table name beside a label above each header (empty when there is none).
    std::vector<std::string> colNames;
    std::vector<std::int32_t> colNameRows, colNameCols;
    std::vector<std::string> colNameLabels;
};

// The columns of the built-in labels in a row, the labels of each part tried in list order.
bool headerIn(const std::vector<std::string>& colRow, std::int32_t lngRow, Header& h) {
    h.lngRow = lngRow;
    for (int i = 0; i < kHeaderPartCount; ++i) {
        for (const std::string& strLabel : designwords::headerLabels(static_cast<HeaderPart>(i))) {
            const std::string n = normal(strLabel);
            for (std::size_t c = 1; c < colRow.size() && h.lngCols[i] == 0; ++c) {
                bool blnTaken = false;
                for (int k = 0; k < i; ++k) blnTaken = blnTaken || h.lngCols[k] == static_cast<std::int32_t>(c);
                if (!blnTaken && normal(colRow[c]) == n) {
                    h.lngCols[i] = static_cast<std::int32_t>(c);
                    h.strLabels[i] = trimBlanks(colRow[c]);
                }
            }
            if (h.lngCols[i] != 0) break;
        }
    }
    return h.lngCols[static_cast<int>(HeaderPart::Name)] != 0 && h.lngCols[static_cast<int>(HeaderPart::Type)] != 0;
}

bool sameColumns(const Header& a, const Header& b) {
    return std::equal(a.lngCols, a.lngCols + kHeaderPartCount, b.lngCols);
}

std::string partName(HeaderPart e) {
    static const char* const kNames[kHeaderPartCount] = {"フィールド名", "型", "サイズ", "主キー", "NULL", "小数", "備考"};
    return kNames[static_cast<int>(e)];
}

}  // namespace

bool clsLayoutDetect::fnDetect(const std::string& strBookPath) {
    moLayout = clsExcelDBDocInfo();
    moTypes = clsAccessFieldAttr();
    mocolFindings.clear();
    mocolSkipped.clear();
    mocolProblems.clear();

    clsExcel objExcel;
    if (!objExcel.fnOpenBook(strBookPath)) {
        mocolProblems.push_back("ブックを開けません: " + objExcel.getLastError());
        return false;
    }
    std::vector<SheetFound> colSheets;
    std::set<std::string> setTypeWords;
    std::vector<std::string> colKeyTexts, colNullTexts, colRemarkTexts;
    for (std::int32_t n = 1; n <= objExcel.getSheetCount(); ++n) {
        objExcel.fnOpenSheet(n);
        SheetFound s;
        s.lngNo = n;
        s.strName = objExcel.SheetName();
        for (std::int32_t r = 1; r <= clsExcel::kMaxRow; ++r) {
            std::vector<std::string> colRow;
            const bool blnAny = objExcel.SearchRow(r, colRow);
            Header h;
            if (blnAny && headerIn(colRow, r, h)) s.colHeaders.push_back(h);
        }
        if (s.colHeaders.empty()) {
            std::string strText = sheetWords(n, s.strName) + ": 見出し行（物理名・型 など）がありません";
            if (designwords::containsWord(s.strName, designwords::nonTableSheetWords()))
                strText += "（表紙・履歴・一覧などのシートと見られます）";
            mocolSkipped.push_back(strText);
            objExcel.CloseSheet();
            continue;
        }
        // Per header: the nearest table-name label above it, and the field lines below it.
        for (std::size_t i = 0; i < s.colHeaders.size(); ++i) {
            const Header& h = s.colHeaders[i];
            const std::int32_t lngTop = i == 0 ? 1 : s.colHeaders[i - 1].lngRow + 1;
            std::string strName, strLabel;
            std::int32_t lngNameRow = 0, lngNameCol = 0;
            for (std::int32_t r = h.lngRow - 1; r >= lngTop && strName.empty(); --r) {
                for (std::int32_t c = 1; c <= clsExcel::kMaxCol && strName.empty(); ++c) {
                    const std::string strCell = objExcel.SearchCells(r, c);
                    if (!designwords::isOneOf(strCell, designwords::tableNameLabels())) continue;
                    for (std::int32_t d = c + 1; d <= clsExcel::kMaxCol; ++d) {
                        const std::string v = objExcel.SearchCells(r, d);
                        if (isBlank(v)) continue;
                        strName = v;
                        lngNameRow = r;
                        lngNameCol = d;
                        strLabel = trimBlanks(strCell);
                        break;
                    }
                }
            }
            s.colNames.push_back(strName);
            s.colNameRows.push_back(lngNameRow);
            s.colNameCols.push_back(lngNameCol);
            s.colNameLabels.push_back(strLabel);
            const std::int32_t lngEnd = i + 1 < s.colHeaders.size() ? s.colHeaders[i + 1].lngRow - 1 : clsExcel::kMaxRow;
            auto col = [&h](HeaderPart e) { return h.lngCols[static_cast<int>(e)]; };
            for (std::int32_t r = h.lngRow + 1; r <= lngEnd; ++r) {
                if (isBlank(objExcel.SearchCells(r, col(HeaderPart::Name)))) break;
                setTypeWords.insert(trimBlanks(objExcel.SearchCells(r, col(HeaderPart::Type))));
                if (col(HeaderPart::PrimaryKey)) colKeyTexts.push_back(objExcel.SearchCells(r, col(HeaderPart::PrimaryKey)));
                if (col(HeaderPart::Null)) colNullTexts.push_back(objExcel.SearchCells(r, col(HeaderPart::Null)));
                if (col(HeaderPart::Remarks)) colRemarkTexts.push_back(objExcel.SearchCells(r, col(HeaderPart::Remarks)));
            }
        }
        colSheets.push_back(s);
        objExcel.CloseSheet();
    }
    objExcel.CloseBook();

    if (colSheets.empty()) {
        mocolProblems.push_back("フィールドの見出し行（物理名・カラム名 などと 型・データ型 など）があるシートが見つかりません");
        return false;
    }

    // The sheets: from the first to the last sheet holding a header.
    moLayout.sbSetPage(colSheets.front().lngNo, colSheets.back().lngNo);
    mocolFindings.push_back("テーブルのシート: " + intToText(colSheets.front().lngNo) + "～" + intToText(colSheets.back().lngNo));

    // Fixed positions when every table sheet has one header at the same row and columns.
    const Header& first = colSheets.front().colHeaders.front();
    bool blnFixed = true;
    for (const SheetFound& s : colSheets) {
        blnFixed = blnFixed && s.colHeaders.size() == 1 && s.colHeaders[0].lngRow == first.lngRow &&
                   sameColumns(s.colHeaders[0], first);
    }
    LayoutOptions o;
    auto col = [&first](HeaderPart e) { return first.lngCols[static_cast<int>(e)]; };
    moLayout.sbSetFieldPos(first.lngRow + 1);
    moLayout.sbSetFieldDefPos(col(HeaderPart::Name), col(HeaderPart::Type), col(HeaderPart::Size), col(HeaderPart::PrimaryKey),
                              col(HeaderPart::Null));
    if (blnFixed) {
        mocolFindings.push_back("見出し行: " + intToText(first.lngRow) + "行目（どのシートも同じ位置）、フィールドは " +
                                intToText(first.lngRow + 1) + "行目から");
        o.lngColDecimals = col(HeaderPart::Decimals);
        o.lngColRemarks = col(HeaderPart::Remarks);
    } else {
        // Header labels: every label text found for a part, in the order met.
        for (int i = 0; i < kHeaderPartCount; ++i) {
            std::vector<std::string> colLabels;
            for (const SheetFound& s : colSheets)
                for (const Header& h : s.colHeaders)
                    if (!h.strLabels[i].empty() && std::find(colLabels.begin(), colLabels.end(), h.strLabels[i]) == colLabels.end())
                        colLabels.push_back(h.strLabels[i]);
            o.strHeaderLabels[i] = designwords::joinWords(colLabels);
        }
        std::size_t nTables = 0;
        for (const SheetFound& s : colSheets) nTables += s.colHeaders.size();
        mocolFindings.push_back("見出し行の位置がシートごとに違う、または1シートに複数のテーブルがあるため、見出しの言葉で探します（テーブル " +
                                intToText(static_cast<std::int64_t>(nTables)) + " 件）");
    }
    for (int i = 0; i < kHeaderPartCount; ++i) {
        if (first.lngCols[i] == 0 || i == static_cast<int>(HeaderPart::Remarks)) continue;
        mocolFindings.push_back(partName(static_cast<HeaderPart>(i)) + ": 「" + first.strLabels[i] + "」" +
                                (blnFixed ? "（" + cellA1(first.lngRow, first.lngCols[i]) + "）" : std::string()));
    }

    // The table name: beside a label on every table, or else the sheet's name; never a mixture.
    std::size_t nLabelled = 0, nTables = 0;
    std::set<std::pair<std::int32_t, std::int32_t>> setNameCells;
    std::vector<std::string> colLabelsUsed;
    for (const SheetFound& s : colSheets) {
        for (std::size_t i = 0; i < s.colNames.size(); ++i) {
            ++nTables;
            if (s.colNames[i].empty()) continue;
            ++nLabelled;
            setNameCells.insert({s.colNameRows[i], s.colNameCols[i]});
            if (std::find(colLabelsUsed.begin(), colLabelsUsed.end(), s.colNameLabels[i]) == colLabelsUsed.end())
                colLabelsUsed.push_back(s.colNameLabels[i]);
        }
    }
    if (nLabelled == nTables) {
        if (blnFixed && setNameCells.size() == 1) {
            moLayout.sbSetTableNmPos(setNameCells.begin()->first, setNameCells.begin()->second);
            mocolFindings.push_back("テーブル名: 「" + colLabelsUsed.front() + "」の横のセル " +
                                    cellA1(setNameCells.begin()->first, setNameCells.begin()->second));
        } else {
            o.enmTableName = TableNameSource::Label;
            o.strTableNameLabels = designwords::joinWords(colLabelsUsed);
            mocolFindings.push_back("テーブル名: 「" + o.strTableNameLabels + "」のラベルの横");
        }
    } else if (nLabelled == 0) {
        o.enmTableName = TableNameSource::SheetName;
        mocolFindings.push_back("テーブル名: シート名（テーブル名のラベルがないため）");
    } else {
        mocolProblems.push_back("テーブル名のラベルがあるテーブルとないテーブルがあります（" + intToText(static_cast<std::int64_t>(nLabelled)) +
                                " / " + intToText(static_cast<std::int64_t>(nTables)) +
                                "）。ラベルの横とシート名のどちらを使うか決められません");
    }

    // The null column: its header says whether a mark means "may be null" or "not null"; headers
    // that say both leave it undecided (the layout has one meaning for every table).
    const std::string strNullLabel = first.strLabels[static_cast<int>(HeaderPart::Null)];
    std::vector<std::string> colNullable, colNotNull;
    for (const SheetFound& s : colSheets) {
        for (const Header& h : s.colHeaders) {
            const std::string& strLabel = h.strLabels[static_cast<int>(HeaderPart::Null)];
            if (strLabel.empty()) continue;
            std::vector<std::string>& colSide = designwords::isOneOf(strLabel, designwords::notNullHeaders()) ? colNotNull : colNullable;
            if (std::find(colSide.begin(), colSide.end(), strLabel) == colSide.end()) colSide.push_back(strLabel);
        }
    }
    if (!colNullable.empty() && !colNotNull.empty())
        mocolProblems.push_back("NULL の列の見出しに「NULL 可」の意味の「" + designwords::joinWords(colNullable) +
                                "」と「NULL 不可」の意味の「" + designwords::joinWords(colNotNull) +
                                "」があり、印をどちらの意味で読むか決められません");
    if (col(HeaderPart::Null) == 0) {
        o.enmNullMeaning = NullMeaning::NotNull;  // nothing marked: no field is required
        mocolFindings.push_back("NULL の列: なし（どのフィールドも NULL を許します）");
    } else if (designwords::isOneOf(strNullLabel, designwords::notNullHeaders())) {
        o.enmNullMeaning = NullMeaning::NotNull;
        mocolFindings.push_back("NULL の列: 「" + strNullLabel + "」は印が「NULL 不可（必須）」の意味");
    } else {
        mocolFindings.push_back("NULL の列: 「" + strNullLabel + "」は印が「NULL 可」の意味");
    }

    // A key marked inside the null column ("Yes (PK)") or, without a key column, in the remarks.
    auto fnAnyKeyWord = [](const std::vector<std::string>& colTexts) {
        for (const std::string& s : colTexts)
            if (designwords::containsWord(s, designwords::keyWords())) return true;
        return false;
    };
    if (fnAnyKeyWord(colNullTexts)) {
        o.enmKeyAlsoIn = KeyAlsoIn::NullColumn;
        mocolFindings.push_back("主キー: NULL の列の「PK」などでも示されています");
    } else if (col(HeaderPart::PrimaryKey) == 0 && fnAnyKeyWord(colRemarkTexts)) {
        o.enmKeyAlsoIn = KeyAlsoIn::Remarks;
        mocolFindings.push_back("主キー: 備考の列の「PK」「主キー」などで示されています");
    } else if (col(HeaderPart::PrimaryKey) == 0) {
        mocolFindings.push_back("主キー: 主キーの列も印もありません");
    }

    // Marks: where some say "no" (×, -), the words are listed; a mark that is neither stops.
    std::vector<std::string> colYes, colNo, colUnknown;
    std::vector<std::string> colMarks = colKeyTexts;
    colMarks.insert(colMarks.end(), colNullTexts.begin(), colNullTexts.end());
    for (const std::string& s : colMarks) {
        const std::string t = trimBlanks(s);
        std::vector<std::string>* pList = nullptr;
        switch (designwords::readMark(t, designwords::yesWords(), designwords::noWords())) {
        case designwords::MarkReading::Yes: pList = &colYes; break;
        case designwords::MarkReading::No: pList = &colNo; break;
        case designwords::MarkReading::Unknown: pList = &colUnknown; break;
        case designwords::MarkReading::Blank: break;
        }
        if (pList && std::find(pList->begin(), pList->end(), t) == pList->end()) pList->push_back(t);
    }
    if (!colUnknown.empty()) {
        mocolProblems.push_back("主キー・NULL の列の「" + designwords::joinWords(colUnknown) +
                                "」が「あり」か「なし」か決められません");
    } else if (!colNo.empty() || o.enmKeyAlsoIn == KeyAlsoIn::NullColumn) {
        o.strYesWords = designwords::joinWords(colYes);
        o.strNoWords = designwords::joinWords(colNo);
        mocolFindings.push_back("印: あり「" + o.strYesWords + "」、なし「" + o.strNoWords + "」");
    }
    // The remarks column matters only where it marks the key.
    if (o.enmKeyAlsoIn != KeyAlsoIn::Remarks) {
        o.lngColRemarks = 0;
        o.strHeaderLabels[static_cast<int>(HeaderPart::Remarks)].clear();
    }
    moLayout.setOptions(o);

    // Type words: the classic words, else the dictionary with WORD(N); the words no type fits.
    std::vector<std::string> colUnfit;
    for (const std::string& w : setTypeWords)
        if (!w.empty() && !resolveFieldType(moTypes, w, "1").blnFound) colUnfit.push_back(w);
    if (!colUnfit.empty()) {
        moTypes.setDictionary(true);
        moTypes.setSizeInType(true);
        // SQL's INTEGER is 32-bit and TEXT is long text: their classic meanings step aside.
        for (const std::string& w : setTypeWords) {
            if (lowerCaseText(w) == "integer") moTypes.setInteger("smallint");
            if (lowerCaseText(w) == "text") moTypes.setText("varchar");
        }
        // Where 長整数 (Long) is used beside 整数, 整数 is Access's 16-bit Integer.
        if (setTypeWords.count("整数") && setTypeWords.count("長整数")) moTypes.setInteger("整数");
        colUnfit.clear();
        for (const std::string& w : setTypeWords)
            if (!w.empty() && !resolveFieldType(moTypes, w, "1").blnFound) colUnfit.push_back(w);
        mocolFindings.push_back("型の言葉: 組み込みの型辞書と WORD(N) 表記を使います");
    } else {
        mocolFindings.push_back("型の言葉: 既定の言葉（Text, Long, …）で足ります");
    }
    if (!colUnfit.empty())
        mocolProblems.push_back("型の言葉「" + designwords::joinWords(colUnfit) + "」はどの型にも当たりません（型の表記ファイルで言葉を足してください）");

    // A layout is given only when nothing was left undecided (unfit type words do not stop it).
    for (const std::string& p : mocolProblems)
        if (p.find("決められません") != std::string::npos) return false;
    return true;
}
