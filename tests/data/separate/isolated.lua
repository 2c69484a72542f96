-- Runs with no libraries and cannot reach the calling state.
return app == nil and string == nil and _G == nil
