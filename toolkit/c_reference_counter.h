// Reference counting shared by bitmaps, views and draw contexts: the count
// starts at 1, remember adds one, forget drops one and deletes the object at 0.
#pragma once

class CReferenceCounter {
public:
    CReferenceCounter() = default;
    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;

    void remember() { ++nbReference; }
    void forget()
    {
        if (--nbReference == 0)
            delete this;
    }
    int getNbReference() const { return nbReference; }

protected:
    virtual ~CReferenceCounter() = default;

private:
    int nbReference = 1;
};
