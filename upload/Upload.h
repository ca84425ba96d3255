// Tarnwick.Upload: the fields and files of a posted multipart/form-data body.
#pragma once

#include <memory>

#include "Tarnwick_h.h"
#include "frame/DispatchObject.h"
#include "text/NarrowText.h"
#include "frame/PageBinding.h"
#include "upload/FormDataParser.h"

namespace tarnwick::upload {

class Upload : public frame::DispatchObject<IUpload, &IID_IUpload> {
public:
    Upload();
    ~Upload() override;

    HRESULT STDMETHODCALLTYPE OnStartPage(IUnknown* piUnk) override;
    HRESULT STDMETHODCALLTYPE OnEndPage() override;
    HRESULT STDMETHODCALLTYPE SaveFile(BSTR i_bsFieldName) override;
    HRESULT STDMETHODCALLTYPE Form(VARIANT i_bsFieldName, BSTR* o_pbsFieldValue) override;
    HRESULT STDMETHODCALLTYPE IsFile(BSTR i_bsFieldName, VARIANT_BOOL* o_pvb) override;
    HRESULT STDMETHODCALLTYPE FileSize(BSTR i_bsFieldName, long* o_plSize) override;
    HRESULT STDMETHODCALLTYPE get_TargetDir(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_TargetDir(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE GetFileData(BSTR i_bsFieldName, VARIANT* caFileData) override;
    HRESULT STDMETHODCALLTYPE FormName(long i, BSTR* o_pbsFieldName) override;
    HRESULT STDMETHODCALLTYPE get_TotalCount(long* pVal) override;

private:
    bool InitPost();
    bool InitMime();
    void ReleaseBody();
    // The uploaded bytes of a file field: the field must be a file field with
    // a file name and a non-empty upload.
    bool UploadedFile(BSTR fieldName, FieldText& fileName, FieldText& data) const;

    frame::PageBinding page_;
    text::NarrowBuffer targetDir_;
    std::unique_ptr<FormDataParser> parser_;
    std::int32_t bodyLength_ = 0;
    SAFEARRAY* bodyArray_ = nullptr;   // the posted bytes, locked while held
    const char* bodyData_ = nullptr;
};

}  // namespace tarnwick::upload
