// Circular doubly linked list with a sentinel. Enumeration survives removals:
// an enumerator holds the link it returns next, and a removed link keeps its
// neighbours.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/Object.h"

class TList;

class TLink : public Object {
public:
    virtual Ref<Object> Value() const { return _value; }
    // The neighbours, or the null object at either end.
    virtual Ref<TLink> NextLink() const;
    virtual Ref<TLink> PrevLink() const;
    // Unlinks; the value becomes the null object but the neighbours are kept.
    virtual int32_t Remove();

private:
    friend class TList;
    friend class TListEnum;
    bool IsSentinel() const { return _value.Get() == this; }

    Ref<Object> _value;
    Ref<TLink> _succ;
    Ref<TLink> _pred;
};

class TListEnum : public Object {
public:
    explicit TListEnum(Ref<TLink> link) : _link(std::move(link)) {}
    virtual bool HasNext() const { return !_link->IsSentinel(); }
    virtual Ref<Object> NextObject();

private:
    Ref<TLink> _link;
};

using CompareFunction = int32_t (*)(const Ref<Object>& a, const Ref<Object>& b);

// The default order: the first element's Compare with the second.
int32_t CompareElements(const Ref<Object>& a, const Ref<Object>& b);

class TList : public Object {
public:
    TList();
    ~TList() override;

    virtual int32_t _pad() { return 0; }
    virtual int32_t Clear();
    virtual bool IsEmpty() const;
    virtual bool Contains(const Ref<Object>& value) const;
    virtual Ref<TLink> AddFirst(const Ref<Object>& value);
    virtual Ref<TLink> AddLast(const Ref<Object>& value);
    virtual Ref<Object> First() const;
    virtual Ref<Object> Last() const;
    virtual Ref<Object> RemoveFirst();
    virtual Ref<Object> RemoveLast();
    virtual Ref<TLink> FirstLink() const;
    virtual Ref<TLink> LastLink() const;
    virtual Ref<TLink> InsertBeforeLink(const Ref<Object>& value, const Ref<TLink>& link);
    virtual Ref<TLink> InsertAfterLink(const Ref<Object>& value, const Ref<TLink>& link);
    virtual Ref<TLink> FindLink(const Ref<Object>& value) const;
    // Raises "List index out of range" outside 0 .. Count() - 1.
    virtual Ref<Object> ValueAtIndex(int32_t index) const;
    virtual int32_t Count() const;
    // Removes the first element equal to value; 1 when one was found.
    virtual int32_t Remove(const Ref<Object>& value);
    virtual int32_t Swap(TList& other);
    virtual Ref<TList> Copy() const;
    virtual int32_t Reverse();
    virtual Ref<TList> Reversed() const;
    // Stable bottom-up merge sort on the links, in place.
    virtual int32_t Sort(bool ascending = true, CompareFunction compare = CompareElements);
    virtual Ref<TListEnum> ObjectEnumerator() const;
    virtual std::vector<Ref<Object>> ToArray() const;
    static Ref<TList> FromArray(const std::vector<Ref<Object>>& array);

    // Range-for over the elements; removed elements come out as the null
    // object, exactly like ObjectEnumerator.
    class Iterator {
    public:
        explicit Iterator(Ref<TLink> link) : _link(std::move(link)) {}
        Ref<Object> operator*() const { return _link->_value; }
        Iterator& operator++() {
            _link = Ref<TLink>(_link->_succ);
            return *this;
        }
        bool operator!=(const Iterator& o) const { return !(_link == o._link); }

    private:
        Ref<TLink> _link;
    };
    Iterator begin() const { return Iterator(_head->_succ); }
    Iterator end() const { return Iterator(_head); }

private:
    // Sort's steps: merges the run of up to k links at p with the run after
    // it onto tail and returns the link after both; when the comparison
    // raises, the ring is closed again over every element first.
    static TLink* MergeRuns(TLink* head, TLink*& tail, TLink* p, int64_t k, bool ascending, CompareFunction compare);
    static void CloseAfterFailedMerge(TLink* head, TLink* tail, TLink* p, int64_t psize, TLink* q);

    Ref<TLink> _head;
};

// Module-level wrappers.
Ref<TList> CreateList();
int32_t ClearList(const Ref<TList>& list);
int32_t CountList(const Ref<TList>& list);
bool ListIsEmpty(const Ref<TList>& list);
bool ListContains(const Ref<TList>& list, const Ref<Object>& value);
Ref<TLink> ListAddFirst(const Ref<TList>& list, const Ref<Object>& value);
Ref<TLink> ListAddLast(const Ref<TList>& list, const Ref<Object>& value);
Ref<TLink> ListFindLink(const Ref<TList>& list, const Ref<Object>& value);
int32_t ListRemove(const Ref<TList>& list, const Ref<Object>& value);
int32_t RemoveLink(const Ref<TLink>& link);
int32_t SortList(const Ref<TList>& list, bool ascending = true, CompareFunction compare = CompareElements);
int32_t ReverseList(const Ref<TList>& list);
int32_t SwapLists(const Ref<TList>& a, const Ref<TList>& b);
std::vector<Ref<Object>> ListToArray(const Ref<TList>& list);
Ref<TList> ListFromArray(const std::vector<Ref<Object>>& array);

// Module initialiser of the linked list.
void InitList();
