// A small ordered collection of text key/item pairs, saved as a tag file.
// Positions run from 1 to getCount(); lookups scan from the front and the first
// match wins. Keys and items are compared exactly (case-sensitive, untrimmed).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class clsHash {
public:
    // Description and number of the failure of the last fnSaveFileAsXml; empty and 0
    // before the first save and after a successful one.
    const std::string& getErrMsg() const { return mostrErrMsg; }
    std::int32_t getErrNo() const { return molngErrNo; }
    // Why that save failed, without the path (getErrMsg names the file); empty likewise.
    const std::string& getErrReason() const { return mostrErrReason; }

    // Appends strItem under the generated key of getCount() + 1 ("1", "2", ...). A blank
    // item is refused. An entry that already holds that key is removed first.
    void AddItem(const std::string& strItem);
    // Appends strKey with an empty item, or empties the item of an existing key.
    // A blank key is refused.
    void AddKey(const std::string& strKey);
    // Appends the pair, or replaces the item of an existing key in place. Refused only
    // when key and item are both blank.
    void Add(const std::string& strKey, const std::string& strItem);
    // Removes the first entry with that key, closing the gap; no-op when absent.
    void Remove(const std::string& strKey);
    void RemoveAll();

    std::int32_t getCount() const { return molngCount; }
    // Key of the first entry whose item equals strItem; empty when none.
    std::string getKey(const std::string& strItem) const;
    // Key / item at a position (1..getCount()); empty text outside that range.
    std::string getKey2(std::int32_t lngItemNo) const;
    std::string getItem2(std::int32_t lngKeyNo) const;
    // Item of the first entry whose key equals strKey; empty when none.
    std::string getItem(const std::string& strKey) const;
    bool Exists(const std::string& strKey) const;

    // Empties the collection and fills it with the pieces of strData cut at strSep
    // (found without regard to letter case), keyed "1", "2", ... Empty pieces between
    // separators are kept, a separator at the very end gives no final piece. A blank
    // strData leaves the collection empty; an empty or absent separator gives one
    // entry holding all of strData.
    void Split(const std::string& strSep, const std::string& strData);

    // All items / keys in position order with strSep between them ("" when empty).
    std::string GetAllItems(const std::string& strSep) const;
    std::string GetAllKeys(const std::string& strSep) const;

    // Writes one line "<key>item</key>" + CR LF per entry, in position order, as CP932
    // (file created or replaced). Never throws: false with getErrMsg/getErrNo set on
    // failure. A text CP932 cannot hold fails the save and leaves any old file as it was.
    bool fnSaveFileAsXml(const std::string& strPath);

private:
    std::int32_t fnFindKey(const std::string& strKey) const;
    void append(const std::string& strKey, const std::string& strItem);

    std::int32_t molngCount = 0;
    // Index p - 1 holds the entry at position p.
    std::vector<std::string> mostrKeys;
    std::vector<std::string> mostrItems;
    std::string mostrErrMsg;
    std::string mostrErrReason;
    std::int32_t molngErrNo = 0;
};

using HashPtr = std::shared_ptr<clsHash>;
