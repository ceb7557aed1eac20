// The string table's texts by name. Each value is the identifier its text is stored under in the
// language blocks (strings_*.cpp), so a number here never changes once a block holds it. Texts
// that are completed by a figure or a name are split around it: a "...Prefix" comes before the
// value, a "...Suffix" after it.
#pragma once

enum class TextId : int {
    // Held by every block but shown nowhere at present.
    Unknown = 4,
    ColumnPhase = 15,
    PickerTitle = 18,  // "Select Process to Monitor"
    BaselinePhaseTitle = 32,
    NoteTransient = 37,
    NoteReleaseSettled = 38,
    NoteSessionSettled = 39,
    AboveSettledBaselineCopy = 57,  // the text of AboveSettledBaselineSuffix
    OtherApps = 91,
    StatusTargetFoundPrefix = 92,  // and the PID

    // The report window and the report text.
    ReportTitleFor = 6,  // "Memory Phase Analysis for " and the target's name
    ReportTitle = 7,
    ColumnFootprint = 8,
    ColumnPhaseDelta = 9,
    ColumnBehaviorNote = 10,
    DiagnosticSummary = 11,
    CopyReport = 12,
    Close = 13,
    VerdictHeading = 14,
    Success = 16,
    ReportCopied = 17,
    ColumnRate = 180,

    // The process picker.
    Search = 19,
    UserAppsOnly = 20,
    ColumnProcessName = 21,
    ColumnPath = 22,
    Select = 23,
    Cancel = 24,
    SearchPlaceholder = 126,

    // The trend graph's legend.
    LegendFootprint = 28,
    LegendVirtual = 29,

    // The phase analysis: too little data, the phases' names and their behaviour notes.
    InsufficientData = 30,
    NoteWarmUp = 33,
    NoteBaseline = 34,
    NoteFlatline = 35,
    NoteRelease = 36,
    NoteSpike = 142,
    NoteFinalSpike = 144,
    PhaseWarmUp = 130,
    PhaseSpike = 132,
    PhaseRelease = 134,
    PhaseBaseline = 136,
    PhaseFlatline = 140,

    // The verdicts: headlines, evidence lines and the figures' surroundings.
    WarmUpFilterPrefix = 40,
    RecoveryMetricsPrefix = 42,
    RecoveryPhasesReclaiming = 43,  // between the count of release phases and the MB reclaimed
    RecoveryTotalSuffix = 44,
    VerdictHighSuspicion = 45,
    PastWarmUpBaselineSuffix = 46,
    EvidenceNoCleanup = 47,
    EvidencePeakPrefix = 48,
    PeakRetainedSuffix = 49,
    EvidenceFloorDriftPrefix = 50,
    RelativeToBaselineSuffix = 51,
    EvidenceTroughGrowthPrefix = 52,
    Across = 53,  // between the trough growth and the count of cycles
    RecoveryCyclesSuffix = 54,
    EvidenceLingeringReferences = 55,
    VerdictPossibleLeak = 56,
    EvidenceReclaimedPrefix = 58,
    MBFreedSuffix = 60,
    VerdictNoEvidence = 61,
    EvidenceSettledDeltaPrefix = 62,
    RelativeToSettledBaseline = 63,  // between the net delta and the settled baseline's MB
    VerdictStairStep = 160,
    EvidenceModerateGrowthPrefix = 162,
    EvidenceContinuousGrowthPrefix = 164,
    AboveSettledBaselineSuffix = 166,
    EvidenceNoRelease = 168,
    VerdictHealthy = 170,
    PercentBackNearBaseline = 172,  // between the percentage and the final MB
    EvidenceActiveReleasePrefix = 174,
    ClosingFlatline = 176,
    ClosingBounded = 178,
    NoteTransactionalApp = 182,
    NoteLongRunningTools = 184,

    // The leak alerts and the status line of a monitoring session.
    StreakIdle = 64,
    GrowthIdle = 65,
    StatusIdle = 66,
    SessionCompleted = 67,
    StatusStopped = 68,
    ErrorTitle = 71,
    StatusProcessEnded = 74,
    StreakPrefix = 75,
    StreakSuffix = 76,
    StreakWarning = 77,
    StreakNormal = 78,
    GrowthPrefix = 79,
    GrowthExceeded = 81,
    GrowthNormal = 82,
    FootprintStable = 83,
    StatusNominal = 84,
    StatusAlert = 85,
    StatusSelectedPrefix = 26,
    SelectProcessFirst = 93,
    InitializingBaseline = 94,
    StatusMonitoring = 95,
    Resume = 96,
    StatusPaused = 97,
    Pause = 98,

    // Loading a monitor log.
    CannotOpenLog = 72,
    LogTooShort = 73,
    NotALogPrefix = 204,  // and the application's name

    // The main window.
    BuyCoffeeTitle = 88,
    QuitQuestionPrefix = 89,  // and the application's name
    ProcessSelectionFrame = 100,
    Browse = 101,
    NoProcessSelected = 102,
    MemoryStatsFrame = 103,
    VirtualLabel = 104,
    FootprintLabel = 105,
    DeltaLabel = 106,
    PeakLabel = 107,
    ThreadsLabel = 108,
    PageFaultsLabel = 109,
    PageInsLabel = 110,
    CowFaultsLabel = 111,
    LastUpdatedLabel = 112,
    AlertsFrame = 113,
    StatusOk = 114,
    DetailsLabel = 115,
    Ready = 116,
    Start = 117,
    Stop = 118,
    Analyze = 119,
    OutputCsv = 120,
    RefreshRateLabel = 121,
    StatusReady = 122,
    BuyMeButton = 123,
    TrendFrame = 124,
    Confirmation = 125,
    DonationPlea = 150,
    Glossary = 200,
    AppProfileLabel = 208,
    ProfileDefault = 210,
    ProfileMenuBar = 212,
    ProfileFileConverter = 214,
    ProfileCustom = 216,
    EditProfile = 218,
    DockStats = 220,

    // The custom profile dialog.
    CustomProfileTitle = 230,
    GrowthLimitLabel = 232,
    StreakCountLabel = 234,
    RefreshIntervalLabel = 236,
    CustomProfileCancel = 238,
    Save = 240,
    GrowthHelp = 250,
    StreakHelp = 251,

    // Writing the CSV monitor log.
    CsvLogCannotCreate = 340,
    CsvLogWriteFailed = 341,
    CsvLogGoesOn = 342,

    // The command line's recorder.
    CannotReadProcessPrefix = 400,  // and the PID
    NoSuchProcessSuffix = 401,
    ProcessEndedSuffix = 402,
    CannotStartCommandPrefix = 403,
    CsvCannotCreatePrefix = 404,
    CsvCannotWritePrefix = 405,
    CommandExitedPrefix = 406,
    CommandSignalPrefix = 407,

    // The command line's usage errors and its other messages; "%1", "%2"... stand for the values.
    UnknownOption = 410,
    UnexpectedArgument = 411,
    OptionGivenTwice = 412,
    RecordTakesNoEquals = 413,
    InvalidPid = 414,
    OptionTakesNoValue = 415,
    OptionNeedsValue = 416,
    DashesNeedRecord = 417,
    DashesNeedCommand = 418,
    InvalidValue = 419,  // the value, the option and the range
    IntervalRange = 420,
    DurationRange = 421,
    ProfileChoices = 422,
    GrowthLimitRange = 423,
    StreakRange = 424,
    OptionNeedsFile = 425,
    AnalyzeWithRecord = 426,
    OptionNeedsMode = 427,
    OptionNeedsRecord = 428,
    NothingToDo = 429,
    RecordNeedsTarget = 430,
    RecordTakesOneTarget = 431,
    SeeHelp = 432,  // the usage error
    NoDisplay = 433,

    // The window's own texts.
    AllFiles = 470,  // the file dialog's filter for every file

    // Allocation stacks: the report's section, its unavailable lines and the options' messages.
    StacksHeading = 510,
    StacksExplained = 511,  // the mean sampling distance
    StacksShare = 512,      // the share
    StacksNoneGrew = 513,
    StacksStaticallyLinked = 514,
    StacksSetId = 515,
    StacksNoMallocSeen = 516,
    StacksNeverAttached = 517,
    StacksUnavailable = 518,  // the reason
    HeapLibraryMissing = 519,  // the paths looked at
    StacksNeedCommand = 520,
    OptionNeedsStacks = 521,  // the option
    SampleBytesRange = 522,
    StacksFileCannotWritePrefix = 523,
    HeapLibraryPathUnfit = 524,  // the path
    StacksLiveBytes = 525,       // the live MB at the start and at the end
    HeapLeakTestPrefix = 526,    // before the leak test's line, for the live heap's
    HeapLeakGatePassed = 527,
    // Plots and the comparison of two logs.
    PlotFileKind = 530,
    PlotSizeRange = 531,
    OptionNeedsOption = 532,  // the option and the one it needs
    OptionNotWithCompare = 533,
    CompareNeedsTwoLogs = 534,
    CompareWithOther = 535,
    PlotModuleMissing = 536,
    PlotCannotWrite = 537,  // the path and the reason
    PlotLeakTest = 538,  // outcome, slope and its interval
    PlotLeak = 539,
    PlotNoLeak = 540,
    PlotLeakInconclusive = 541,
    PlotBaseline = 542,
    PlotLowestFloor = 543,
    PlotLastFloor = 544,
    PlotCaption = 545,  // name, date and sample count
    CompareRows = 546,  // the comparison's row names, '|' between them
    CompareSlower = 547,  // percent, BEFORE's and AFTER's rates
    CompareFaster = 548,
    CompareNoDifference = 549,  // BEFORE's and AFTER's rates

    // The command line without the window.
    WindowMissing = 570,  // the loader's reason

    // --include-children, member by member: the plot's lines.
    PlotOtherMembers = 600,  // how many
    LegendFamilyFootprint = 601,

    // The command line's judgement: the leak test's line and the budgets.
    LeakTestLeak = 450,           // the slope, its interval's two ends, the p-value
    LeakTestNoLeak = 451,         // the slope, the p-value
    LeakTestTooFewSamples = 452,  // the duration that would settle it
    LeakTestCyclesTooLong = 453,  // the run's duration, the duration that would settle it
    FootprintOverBudget = 454,    // the footprint, the limit
    GrowthOverBudget = 455,       // the growth, the limit
    BudgetRange = 456,

    // The command line's faults.
    TargetEndedAfter = 500,       // the seconds
    SampleOverran = 501,          // the sample's cost, the interval, the interval suggested
    CannotWriteOutput = 502,      // the system's reason
    KernelThreadSuffix = 503,     // after CannotReadProcessPrefix and the PID
    CannotWait = 504,             // the system's reason
    // quolk --serve: its usage errors and its messages.
    ServeAlone = 550,
    OptionNeedsServe = 551,    // the option
    OptionNotWithServe = 552,  // the option
    ServeNeedsTarget = 553,
    ListenRange = 554,
    MatchRange = 555,
    WindowRange = 556,
    ServeMissing = 557,        // the loader's reason
    CannotListen = 558,        // the address and the reason
    Serving = 559,             // the address
};
