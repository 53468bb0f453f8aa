-- The rows a new Kestrova database starts with. Colours are Windows colour values
-- (0x00BBGGRR), as the client paints them.
SET search_path = dbo;
GO

INSERT INTO tblContactTypes (PK_ContactTypeID, ContactTypeName, SortIndex) VALUES
    ('{00000000-0000-0000-0000-000000000000}', 'Contact', 0),
    ('{00000000-0000-0000-0000-000000000001}', 'Family', 1),
    ('{00000000-0000-0000-0000-000000000002}', 'Group', 2);
GO

INSERT INTO tblRuleTypes (PK_RuleTypeID, RuleTypeDescription) VALUES
    ('{AE7ADCC4-541B-497C-BB5B-B0005C51471E}', 'Always serve together'),
    ('{D88258F0-95AF-4E8E-B82C-547C1B6235BB}', 'Do not serve apart'),
    ('{C9663A14-AD78-4BAD-91D3-5ED2597DA1C2}', 'Prefer to serve together'),
    ('{98A1AD29-3773-40BE-B344-5541FD636256}', 'Never serve together');
GO

INSERT INTO tblUserLevels (PK_UserLevelID, UserLevelName, UserlevelValue, UserlevelComments) VALUES
    ('{86A13150-8F61-47CC-9503-A5BFAE09F464}', 'User', 0, 'Users added in the system settings'),
    ('{86A13150-8F61-47CC-9503-A5BFAE09F465}', 'Administrator', 2147483647, 'The user made by the initial setup');
GO

INSERT INTO tblEventColors (PK_ColorID, ColorDescription, ColorIntValue) VALUES
    ('{00000000-0000-0000-0000-000000000000}', 'None', 16777215),
    ('{00000000-0000-0000-0000-000000000001}', 'No member assigned', 13684991),
    ('{00000000-0000-0000-0000-000000000002}', 'Members assigned', 13696976),
    ('{00000000-0000-0000-0000-000000000003}', 'Fill-in used', 13697023);
GO

INSERT INTO tblServingFrequency (PK_ServingFrequencyID, ServingFreqencyAsInteger, ServingFrequencyDescription) VALUES
    ('{D74D24CB-17DE-4551-976C-988F6B55515E}', 1, 'First week of the month'),
    ('{0B3E8DDA-8FE6-4FD3-BF84-2E06FFA4F32F}', 2, 'Second week of the month'),
    ('{16A4AEE4-D2DC-4C7D-96D2-8E89E9F07CA0}', 3, 'Third week of the month'),
    ('{BA566940-71FA-401E-908B-962B1C361FA4}', 4, 'Fourth week of the month'),
    ('{72AD24ED-BE26-418F-9E09-43BDBD00F194}', 5, 'Fifth week of the month');
GO
