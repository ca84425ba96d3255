// Tarnwick.Upload: the fields and files of a posted multipart/form-data body.
#pragma once

#include "Tarnwick_h.h"
#include "frame/DispatchObject.h"
#include "frame/PageBinding.h"
#include "upload/FormRequest.h"
#include "upload/PostedForm.h"

namespace tarnwick::upload {

class Upload : public frame::DispatchObject<IUpload, &IID_IUpload> {
public:
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
    frame::PageBinding page_;
    RequestBody body_;   // the posted bytes the form points into
    PostedForm form_;
};

}  // namespace tarnwick::upload
